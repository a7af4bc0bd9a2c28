// Hides or restores one path through the window's own operations, and nothing else: the crash
// test kills it at random moments. Usage: crash_helper hide|restore PATH PASSWORD CONFIG-FOLDER
#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/PlatformEnvironment.h"
#include "mainwindow/UnitMain.h"
#include "settings/uSettings.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 5)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const QString Mode = QString::fromLocal8Bit(argv[1]);
    const QString Path = QString::fromLocal8Bit(argv[2]);
    InitGuiResources();
    SetConfigFolderOverride(QString::fromLocal8Bit(argv[4]));
    SetIdentityOverride(QStringLiteral("crash-host"), QStringLiteral("crash-user"));
    // No box may wait for an answer that will never come.
    DialogSeam::Install();
    GeneralPassword = QString::fromLocal8Bit(argv[3]);
    int Status = 1;
    {
        TfrmMain Window;
        QString ErrorText;
        // An item a killed hide had set aside comes back beside its locker: the locker wins.
        DialogSeam::QueueResult(TMsgResult::Yes);
        const bool Done = Mode == QLatin1String("hide") ? Window.HidePathIntoLocker(Path, ErrorText)
                                                        : Window.RestorePathFromLocker(Path, ErrorText);
        if (Done)
            Status = 0;
        else
            std::fprintf(stderr, "%s\n", qPrintable(ErrorText));
    }
    DialogSeam::Remove();
    return Status;
}
