#include "app/StartupSequence.h"

#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"
#include "mainwindow/LanguageDirection.h"
#include "mainwindow/OpenLockerFileDialog.h"
#include "platform/PlatformEnvironment.h"
#include "mainwindow/UnitMain.h"
#include "dialogs/UnitPassword.h"
#include "app/VisualStyle.h"
#include "translation/translation.h"
#if KELVARN_UPDATE_CHECK
#include "update/uNewVersionCheck.h"
#include "update/uNewVersionForm.h"
#endif
#include "dialogs/uPasswordSet.h"
#include "settings/uSettings.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>

namespace {

std::function<void(TfrmMain*)> GMainWindowShownHook;

// Without it the program would look as on a first start, the list empty, with no word of why or of
// the way back. The path is data, so it stays out of the translated sentences.
QString UnreadableSettingsText(const QString& KeptAs) {
    const QString Break = QStringLiteral("\r\n");
    return Translate("The settings could not be read. A copy of them was kept as:") + Break + KeptAs + Break +
           Translate("The lockers of your hidden items are still on disk.") + Break +
           Translate("File > Import Locker... brings each of them back with its password.");
}

// Steps after the catalogue; the caller turns an escaping error into an error box and status 1.
int RunSequence() {
#if KELVARN_UPDATE_CHECK
    if (CheckForNewVersion()) {
        int Tag = 0;
        {
            TfrmNewVersion Dialog;
            Dialog.exec();
            Tag = Dialog.Tag;
        }
        // The program ends before any setting is read: a mandatory update, or a package to install.
        if (Tag == 0)
            return 0;
    }
#endif

    PathList.clear();
    const TSettingsLoad Loaded = LoadSettings();
    if (!Loaded.Read)
        ShowMessageBox(UnreadableSettingsText(Loaded.KeptAs), TMsgKind::Warning);

    if (!GeneralPassword.isEmpty() && !TfrmPassword::Execute(GeneralPassword)) {
        PathList.clear();
        return 0;
    }

    // The main window first: closing it ends the loop. The set-password dialog is reused by every
    // Change Password.
    auto* Main = new TfrmMain;
    Main->setAttribute(Qt::WA_DeleteOnClose);
    frmMain = Main;
    frmPasswordSet = new TfrmPasswordSet(Main);
    frmOpenLocker = new TfrmOpenLocker(Main);

    QPointer<TfrmMain> Guard(Main);
    QEventLoop Loop;
    QObject::connect(Main, &TfrmMain::Closed, &Loop, &QEventLoop::quit, Qt::QueuedConnection);
    QObject::connect(Main, &QObject::destroyed, &Loop, &QEventLoop::quit, Qt::QueuedConnection);
    Main->show();
    Main->raise();
    Main->activateWindow();
    if (GMainWindowShownHook)
        GMainWindowShownHook(Main);
    if (Guard)
        Loop.exec();
    delete Guard.data();
    frmPasswordSet = nullptr;
    PathList.clear();
    return 0;
}

} // namespace

void SetMainWindowShownHook(std::function<void(TfrmMain*)> Hook) {
    GMainWindowShownHook = std::move(Hook);
}

int RunStartup() {
    try {
        InitGuiResources();
        QApplication::setWindowIcon(AppIcon(QStringLiteral("nvlkelvarn")));
        ApplyVisualStyle();
        QCoreApplication::setApplicationName(ApplicationTitle());
        LoadTranslation();
        ApplyLanguageDirection();
        return RunSequence();
    } catch (const std::exception& Error) {
        ShowMessageBox(ErrorTextOf(Error), TMsgKind::Error);
    }
    return 1;
}
