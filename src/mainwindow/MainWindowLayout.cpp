// The window's controls and menus, top to bottom: toolbar strip, path list, bottom strip.
#include "mainwindow/AppIcons.h"
#include "mainwindow/UnitMain.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// A path reads left to right in every language: under a right-to-left layout its separators would
// otherwise wander to the wrong end.
class TPathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override {
        QStyledItemDelegate::initStyleOption(Option, Index);
        Option->direction = Qt::LeftToRight;
    }
};

QToolButton* ToolbarButton(QWidget* Parent, const char* Name, const char* Icon) {
    auto* Button = new QToolButton(Parent);
    Button->setObjectName(QLatin1String(Name));
    Button->setAutoRaise(true);
    Button->setFixedSize(72, 65);
    Button->setIconSize(QSize(40, 40));
    Button->setIcon(AppIcon(QLatin1String(Icon)));
    Button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Button->setFocusPolicy(Qt::TabFocus);
    return Button;
}

QAction* MenuItem(QMenu* Menu, const char* Name) {
    auto* Item = Menu->addAction(QString());
    Item->setObjectName(QLatin1String(Name));
    return Item;
}

} // namespace

void TfrmMain::BuildControls() {
    auto* Central = new QWidget(this);
    Central->setObjectName(QStringLiteral("Central"));
    auto* Layout = new QVBoxLayout(Central);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);

    Panel1 = new QFrame(Central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(65);
    auto* Toolbar = new QHBoxLayout(Panel1);
    Toolbar->setContentsMargins(0, 0, 0, 0);
    Toolbar->setSpacing(0);
    btnAddFolder = ToolbarButton(Panel1, "btnAddFolder", "ad-folder");
    btnAddFile = ToolbarButton(Panel1, "btnAddFile", "add-file");
    btnRemove = ToolbarButton(Panel1, "btnRemove", "minus");
    btnEncryptAndHideSelected = ToolbarButton(Panel1, "btnEncryptAndHideSelected", "hide");
    btnDecryptAndUnhideSelected = ToolbarButton(Panel1, "btnDecryptAndUnhideSelected", "eye");
    btnEncryptAndHideAll = ToolbarButton(Panel1, "btnEncryptAndHideAll", "hide-all");
    btnDecryptAndUnhideAll = ToolbarButton(Panel1, "btnDecryptAndUnhideAll", "unhide-all");
    btnImportLocker = ToolbarButton(Panel1, "btnImportLocker", "import-locker");
    btnAboutProgram = ToolbarButton(Panel1, "btnAboutProgram", "info");
    for (QToolButton* Button :
         {btnAddFolder, btnAddFile, btnRemove, btnEncryptAndHideSelected, btnDecryptAndUnhideSelected,
          btnEncryptAndHideAll, btnDecryptAndUnhideAll, btnImportLocker})
        Toolbar->addWidget(Button);
    Toolbar->addStretch(1);
    Toolbar->addWidget(btnAboutProgram);
    Layout->addWidget(Panel1);

    ListViewPaths = new QTreeWidget(Central);
    ListViewPaths->setObjectName(QStringLiteral("ListViewPaths"));
    ListViewPaths->setColumnCount(2);
    ListViewPaths->setRootIsDecorated(false);
    ListViewPaths->setItemsExpandable(false);
    ListViewPaths->setUniformRowHeights(true);
    ListViewPaths->setSortingEnabled(false);
    ListViewPaths->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewPaths->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListViewPaths->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListViewPaths->setAllColumnsShowFocus(true);
    ListViewPaths->setTextElideMode(Qt::ElideMiddle);
    // The path takes the spare width; the status column is as wide as its texts.
    ListViewPaths->header()->setStretchLastSection(false);
    ListViewPaths->header()->setSectionsMovable(false);
    ListViewPaths->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    ListViewPaths->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    ListViewPaths->setItemDelegateForColumn(0, new TPathDelegate(ListViewPaths));
    auto* ListMargin = new QVBoxLayout;
    ListMargin->setContentsMargins(5, 5, 5, 5);
    ListMargin->addWidget(ListViewPaths);
    Layout->addLayout(ListMargin, 1);

    Panel2 = new QFrame(Central);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(45);
    auto* Bottom = new QHBoxLayout(Panel2);
    Bottom->setContentsMargins(5, 6, 5, 7);
    Bottom->setSpacing(8);
    btnChangePassword = new QPushButton(Panel2);
    btnChangePassword->setObjectName(QStringLiteral("btnChangePassword"));
    btnChangePassword->setIcon(AppIcon(QStringLiteral("lock")));
    btnChangePassword->setMinimumSize(158, 32);
    btnChangePassword->setIconSize(QSize(20, 20));
    btnChangePassword->setAutoDefault(false);
    ProgressBar1 = new QProgressBar(Panel2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    // Narrow enough that the counter and its "stopping" text keep their full width in every language.
    ProgressBar1->setMinimumWidth(120);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    lblStatus = new QLabel(Panel2);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setMinimumWidth(60);
    lblStatus->setAlignment(Qt::AlignCenter);
    btnStop = new QPushButton(Panel2);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setIcon(AppIcon(QStringLiteral("stop")));
    btnStop->setMinimumSize(101, 32);
    btnStop->setIconSize(QSize(20, 20));
    btnStop->setAutoDefault(false);
    Bottom->addWidget(btnChangePassword);
    Bottom->addWidget(ProgressBar1, 1);
    // While the bar is hidden its room stays, so the status and Stop keep their places.
    QSizePolicy KeepRoom = ProgressBar1->sizePolicy();
    KeepRoom.setRetainSizeWhenHidden(true);
    ProgressBar1->setSizePolicy(KeepRoom);
    Bottom->addWidget(lblStatus);
    Bottom->addWidget(btnStop);
    Layout->addWidget(Panel2);

    chkStrongHide = new QCheckBox(Central);
    chkStrongHide->setObjectName(QStringLiteral("chkStrongHide"));
    chkStrongHide->setVisible(false);

    setCentralWidget(Central);
}

void TfrmMain::BuildMenus() {
    QMenuBar* Bar = menuBar();
    Bar->setObjectName(QStringLiteral("MainMenu1"));

    File1 = Bar->addMenu(QString());
    File1->setObjectName(QStringLiteral("File1"));
    AddFolder1 = MenuItem(File1, "AddFolder1");
    AddFile1 = MenuItem(File1, "AddFile1");
    Remove1 = MenuItem(File1, "Remove1");
    File1->addSeparator();
    ImportLocker1 = MenuItem(File1, "ImportLocker1");
    File1->addSeparator();
    Exit1 = MenuItem(File1, "Exit1");

    Edit1 = Bar->addMenu(QString());
    Edit1->setObjectName(QStringLiteral("Edit1"));
    EncryptHideSelected1 = MenuItem(Edit1, "EncryptHideSelected1");
    DencryptUnhideSelected1 = MenuItem(Edit1, "DencryptUnhideSelected1");
    Edit1->addSeparator();
    EncryptHideAll1 = MenuItem(Edit1, "EncryptHideAll1");
    DencryptUnhideAll1 = MenuItem(Edit1, "DencryptUnhideAll1");

    ools1 = Bar->addMenu(QString());
    ools1->setObjectName(QStringLiteral("ools1"));
    ChangePassword1 = MenuItem(ools1, "ChangePassword1");
    ools1->addSeparator();
    mmLanguage = ools1->addMenu(QString());
    mmLanguage->setObjectName(QStringLiteral("mmLanguage"));

    Help1 = Bar->addMenu(QString());
    Help1->setObjectName(QStringLiteral("Help1"));
    utorial1 = MenuItem(Help1, "utorial1");
    Help1->addSeparator();
    ContactUs1 = MenuItem(Help1, "ContactUs1");
    VisitWebsite1 = MenuItem(Help1, "VisitWebsite1");
    Help1->addSeparator();
    About1 = MenuItem(Help1, "About1");
}
