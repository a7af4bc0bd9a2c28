#include "mainwindow/OpenLockerFileDialog.h"

#include "shellbrowser/ShellBrowser.h"
#include "translation/translation.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmOpenLocker* frmOpenLocker = nullptr;

TfrmOpenLocker::TfrmOpenLocker(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmOpenLocker"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    resize(907, 526);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    JamShellCombo1 = new TShellFolderCombo(this);
    JamShellCombo1->setObjectName(QStringLiteral("JamShellCombo1"));
    JamShellList1 = new TShellFileList(this);
    JamShellList1->setObjectName(QStringLiteral("JamShellList1"));
    JamShellList1->SetFileFilter({QStringLiteral("*.kvlocker")});
    JamShellList1->SetAddItemHook(&TfrmOpenLocker::JamShellList1AddItem);
    JamShellList1->SetFolder(QDir::homePath());
    JamShellCombo1->LinkTo(JamShellList1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    Button2 = new QPushButton(Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setDefault(true);
    Button1 = new QPushButton(Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    auto* Buttons = new QHBoxLayout(Panel1);
    Buttons->setContentsMargins(7, 0, 7, 0);
    Buttons->addStretch(1);
    Buttons->addWidget(Button2);
    Buttons->addWidget(Button1);

    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 7, 0, 0);
    Layout->setSpacing(7);
    auto* Text = new QHBoxLayout;
    Text->setContentsMargins(7, 0, 7, 0);
    Text->addWidget(Label1);
    Layout->addLayout(Text);
    Layout->addWidget(JamShellCombo1);
    Layout->addWidget(JamShellList1, 1);
    Layout->addWidget(Panel1);

    connect(Button2, &QPushButton::clicked, this, &TfrmOpenLocker::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TfrmOpenLocker::Button1Click);
    // Opening a locker in the list is choosing it; the import takes the selection, which a keyboard
    // user may have left apart from the row Enter opened.
    connect(JamShellList1, &TShellFileList::FileActivated, this, [this](const QString& Path) {
        JamShellList1->SelectPath(Path);
        Button2Click();
    });
}

TfrmOpenLocker::~TfrmOpenLocker() {
    if (frmOpenLocker == this)
        frmOpenLocker = nullptr;
}

void TfrmOpenLocker::showEvent(QShowEvent* Event) {
    FormShow();
    QDialog::showEvent(Event);
}

void TfrmOpenLocker::FormShow() {
    Tag = 0;
    Button2->setText(Translate("OK"));
    Button1->setText(Translate("Cancel"));
    setWindowTitle(Translate("Import Locker File"));
    Label1->setText(Translate("If for some reason a path has been lost from the list but is still encrypted and "
                              "hidden, you can restore it. Locate the .kvlocker file (visible in this window) and "
                              "import it. It will be decrypted, unhidden, and added to the list."));
    if (parentWidget())
        move(parentWidget()->window()->geometry().center() - rect().center());
    JamShellList1->setFocus();
}

void TfrmOpenLocker::Button2Click() {
    Tag = 1;
    accept();
}

void TfrmOpenLocker::Button1Click() {
    reject();
}

void TfrmOpenLocker::JamShellList1AddItem(const QString& Path, bool IsFolder, bool& CanAdd) {
    if (!IsFolder)
        return;
    const QString Extension = QLatin1Char('.') + QFileInfo(Path).suffix().toLower();
    if (Extension == QLatin1String(".zip") || Extension == QLatin1String(".rar") ||
        Extension == QLatin1String(".tar") || Extension == QLatin1String(".7z"))
        CanAdd = false;
}
