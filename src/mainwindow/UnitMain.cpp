#include "mainwindow/UnitMain.h"
#include "dialogs/TextRules.h"

#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/PlatformEnvironment.h"
#include "translation/translation.h"
#include "settings/uSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

TfrmMain* frmMain = nullptr;

namespace {

void SetHint(QToolButton* Button, const QString& Hint) {
    Button->setToolTip(Hint);
    // Icon-only: screen readers name the button by its hint.
    Button->setAccessibleName(Hint);
}

void OpenAddress(const QString& Address) {
    OpenWithDesktop(QUrl(Address));
}

} // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QMainWindow(Parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(AppIcon(QStringLiteral("nvlkelvarn")));
    BuildControls();
    BuildMenus();

    connect(btnAddFolder, &QToolButton::clicked, this, &TfrmMain::btnAddFolderClick);
    connect(AddFolder1, &QAction::triggered, this, &TfrmMain::btnAddFolderClick);
    connect(btnAddFile, &QToolButton::clicked, this, &TfrmMain::btnAddFileClick);
    connect(AddFile1, &QAction::triggered, this, &TfrmMain::btnAddFileClick);
    connect(btnRemove, &QToolButton::clicked, this, &TfrmMain::btnRemoveClick);
    connect(btnEncryptAndHideSelected, &QToolButton::clicked, this, &TfrmMain::btnEncryptAndHideSelectedClick);
    connect(EncryptHideSelected1, &QAction::triggered, this, &TfrmMain::btnEncryptAndHideSelectedClick);
    connect(btnDecryptAndUnhideSelected, &QToolButton::clicked, this, &TfrmMain::btnDecryptAndUnhideSelectedClick);
    connect(DencryptUnhideSelected1, &QAction::triggered, this, &TfrmMain::btnDecryptAndUnhideSelectedClick);
    connect(btnEncryptAndHideAll, &QToolButton::clicked, this, &TfrmMain::btnEncryptAndHideAllClick);
    connect(EncryptHideAll1, &QAction::triggered, this, &TfrmMain::btnEncryptAndHideAllClick);
    connect(btnDecryptAndUnhideAll, &QToolButton::clicked, this, &TfrmMain::btnDecryptAndUnhideAllClick);
    connect(DencryptUnhideAll1, &QAction::triggered, this, &TfrmMain::btnDecryptAndUnhideAllClick);
    connect(btnImportLocker, &QToolButton::clicked, this, &TfrmMain::btnImportLockerClick);
    connect(ImportLocker1, &QAction::triggered, this, &TfrmMain::btnImportLockerClick);
    connect(btnStop, &QPushButton::clicked, this, &TfrmMain::btnStopClick);
    connect(btnChangePassword, &QPushButton::clicked, this, &TfrmMain::btnChangePasswordClick);
    connect(ChangePassword1, &QAction::triggered, this, &TfrmMain::btnChangePasswordClick);
    connect(btnAboutProgram, &QToolButton::clicked, this, &TfrmMain::btnAboutProgramClick);
    connect(About1, &QAction::triggered, this, &TfrmMain::btnAboutProgramClick);
    connect(utorial1, &QAction::triggered, this, &TfrmMain::utorial1Click);
    connect(ContactUs1, &QAction::triggered, this, &TfrmMain::ContactUs1Click);
    connect(VisitWebsite1, &QAction::triggered, this, &TfrmMain::VisitWebsite1Click);
    connect(Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);
    connect(Remove1, &QAction::triggered, this, &TfrmMain::btnRemoveClick);
    AddFolder1->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    AddFile1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    Remove1->setShortcut(QKeySequence(Qt::Key_Delete));
    ImportLocker1->setShortcut(QKeySequence(QStringLiteral("Ctrl+I")));
    Exit1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    utorial1->setShortcut(QKeySequence(Qt::Key_F1));
    connect(ListViewPaths, &QTreeWidget::itemSelectionChanged, this, &TfrmMain::ListViewPathsSelectItem);

    FormCreate();
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::FormCreate() {
    setWindowTitle(ApplicationTitle() + QStringLiteral(" ") + ProgramVersion());
    resize(760, 449 + menuBar()->sizeHint().height());
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
    // Styled row heights are taken when the list is polished, so it is polished before any row.
    ensurePolished();
    ListViewPaths->ensurePolished();
    for (const QString& Path : std::as_const(PathList))
        AddPath(Path);
    chkStrongHide->setChecked(StrongHide);
    chkStrongHide->setText(Translate("Use system attribute (strong hide)"));
    UpdateButtons();
    ProgressBar1->setEnabled(false);
    ProgressBar1->setVisible(false);
    lblStatus->setEnabled(false);
    btnStop->setEnabled(false);
    btnStop->setToolTip(Translate("Stop Operation"));
    FStopRequested = false;
    FBusy = false;
    setAcceptDrops(true);
    BuildLanguageMenu();
    ApplyCaptions();
}

void TfrmMain::FormDestroy() {
    FDestroying = true;
    setAcceptDrops(false);
    // Does nothing while the window is being destroyed: every change was saved when it was made.
    try {
        SaveFormState();
    } catch (const std::exception&) {
    }
}

void TfrmMain::ApplyCaptions() {
    // Each caption gets an accelerator of its own among its siblings, taken from the translated
    // caption, so that the keyboard reaches every menu in every language.
    QString TopUsed;
    auto Title = [&TopUsed](QMenu* Menu, const char* English) {
        Menu->setTitle(WithMnemonic(Translate(QLatin1String(English)), QLatin1String(English), TopUsed));
    };
    auto Items = [](std::initializer_list<std::pair<QAction*, const char*>> List) {
        QString Used;
        for (const auto& [Item, English] : List)
            Item->setText(WithMnemonic(Translate(QLatin1String(English)), QLatin1String(English), Used));
    };
    Title(File1, "File");
    Title(Edit1, "Encrypt");
    Title(ools1, "Tools");
    Title(Help1, "Help");
    Items({{AddFolder1, "Add Folder..."},
           {AddFile1, "Add File..."},
           {Remove1, "Remove Selected From List"},
           {ImportLocker1, "Import Locker..."},
           {Exit1, "Exit"}});
    Items({{EncryptHideSelected1, "Encrypt && Hide Selected"},
           {DencryptUnhideSelected1, "Dencrypt && Unhide Selected"},
           {EncryptHideAll1, "Encrypt && Hide All"},
           {DencryptUnhideAll1, "Dencrypt && Unhide All"}});
    Items({{ChangePassword1, "Change Password..."}, {mmLanguage->menuAction(), "Language"}});
    Items({{utorial1, "Tutorial"}, {ContactUs1, "Contact Us"}, {VisitWebsite1, "Visit Website"}, {About1, "About..."}});
    SetHint(btnAddFolder, Translate("Add Folder..."));
    SetHint(btnAddFile, Translate("Add File..."));
    SetHint(btnRemove, Translate("Remove Selected From List"));
    SetHint(btnEncryptAndHideSelected, Translate("Encrypt and Hide Selected Paths"));
    SetHint(btnDecryptAndUnhideSelected, Translate("Dencrypt and Unhide Selected Paths"));
    SetHint(btnEncryptAndHideAll, Translate("Encrypt and Hide All Paths in List"));
    SetHint(btnDecryptAndUnhideAll, Translate("Dencrypt and Unhide All Paths in List"));
    SetHint(btnImportLocker, Translate("Import Locker File (Lost Path)..."));
    SetHint(btnAboutProgram, Translate("About Program..."));
    btnChangePassword->setText(Translate("Change Password..."));
    lblStatus->setText(Translate("Ready"));
    btnStop->setText(Translate("Stop"));
    ListViewPaths->setHeaderLabels({Translate("Path"), Translate("Status")});
}

void TfrmMain::btnAboutProgramClick() {
    const QString CrLf = QStringLiteral("\r\n");
    QString Text = ApplicationTitle() + CrLf;
    Text += Translate("Version: ") + ProgramVersion() + CrLf;
    Text += CrLf;
    Text += Translate("Website: ") + MakerWebAddress() + CrLf;
    Text += CrLf;
    Text += Translate("This software is protected by copyright law and international treaties. ") + CrLf;
    Text += Translate("Unauthorized reproduction or distribution of this software, or of any part of it, is "
                      "prohibited. ") +
            CrLf;
    Text += Translate("Violations may result in severe civil and criminal penalties. ") + CrLf;
    Text += Translate("Offenders will be prosecuted to the maximum extent possible under the law.") + CrLf;
    ShowMessageBox(Text, TMsgKind::Information);
}

void TfrmMain::utorial1Click() {
    OpenAddress(MakerWebAddress() + QStringLiteral("/redirect/tutorial-nvl-kelvarn.html"));
}

void TfrmMain::ContactUs1Click() {
    OpenAddress(MakerWebAddress() + QStringLiteral("/support.html"));
}

void TfrmMain::VisitWebsite1Click() {
    OpenAddress(MakerWebAddress() + QStringLiteral("/"));
}

void TfrmMain::Exit1Click() {
    close();
}

void TfrmMain::changeEvent(QEvent* Event) {
    QMainWindow::changeEvent(Event);
    // Queued: the set-password dialog must not open inside the activation event itself. What other
    // programs did to the listed items meanwhile shows in the rows.
    if (Event->type() == QEvent::ActivationChange && isActiveWindow()) {
        QMetaObject::invokeMethod(this, &TfrmMain::FormActivate, Qt::QueuedConnection);
        if (!FBusy && FWorkDepth == 0)
            RefreshStatuses();
    }
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
    if (FBusy || FWorkDepth > 0) {
        // The running operation ends at its next poll and cleans up; the window closes after it.
        FCloseWhenIdle = true;
        if (FBusy)
            btnStopClick();
        else
            FStopRequested = true;
        Event->ignore();
        return;
    }
    QMainWindow::closeEvent(Event);
    if (Event->isAccepted())
        emit Closed();
}

TfrmMain::TWorkScope::~TWorkScope() {
    if (--FWindow.FWorkDepth > 0 || FWindow.FBusy)
        return;
    FWindow.FStopRequested = false;
    if (FWindow.FCloseWhenIdle)
        QMetaObject::invokeMethod(&FWindow, &QWidget::close, Qt::QueuedConnection);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* Event) {
    if (!FBusy && Event->mimeData()->hasUrls())
        Event->acceptProposedAction();
    else
        Event->ignore();
}

void TfrmMain::dropEvent(QDropEvent* Event) {
    QStringList Paths;
    for (const QUrl& Url : Event->mimeData()->urls())
        if (Url.isLocalFile())
            Paths.append(Url.toLocalFile());
    AddDroppedFiles(Paths);
    Event->acceptProposedAction();
}
