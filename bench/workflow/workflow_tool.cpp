// Hides or restores one path through the main window's own operations, as the window's commands
// do, and reports how long it took and how much of that was the flush to disk.
// Usage: kelvarn_workflow hide|restore PATH   (password in KELVARN_BENCH_PASSWORD)
// Prints: "<op> total_ms=<ms> flush_ms=<ms>" on standard output; status 0 on success.
#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformEnvironment.h"
#include "mainwindow/UnitMain.h"
#include "settings/uSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const QString Mode = QString::fromLocal8Bit(argv[1]);
    const QString Path = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir Config;
    InitGuiResources();
    SetConfigFolderOverride(Config.path());
    DialogSeam::Install();
    GeneralPassword = qEnvironmentVariable("KELVARN_BENCH_PASSWORD", QStringLiteral("bench password"));

    QElapsedTimer Clock;
    qint64 FlushStart = 0;
    qint64 FlushNs = 0;
    SetFileStepHookForTest([&](const char* Step, const QString&) {
        const QByteArray Name(Step);
        if (Name == "Hide:flush" || Name == "Extract:flush")
            FlushStart = Clock.nsecsElapsed();
        else if (Name == "Hide:flushed" || Name == "Extract:flushed")
            FlushNs += Clock.nsecsElapsed() - FlushStart;
    });
    int Status = 1;
    {
        TfrmMain Window;
        QString ErrorText;
        Clock.start();
        const bool Done = Mode == QLatin1String("hide") ? Window.HidePathIntoLocker(Path, ErrorText)
                                                        : Window.RestorePathFromLocker(Path, ErrorText);
        const qint64 TotalNs = Clock.nsecsElapsed();
        if (Done) {
            std::printf("%s total_ms=%.1f flush_ms=%.1f\n", qPrintable(Mode), TotalNs / 1e6, FlushNs / 1e6);
            Status = 0;
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(ErrorText));
        }
    }
    SetFileStepHookForTest(nullptr);
    DialogSeam::Remove();
    return Status;
}
