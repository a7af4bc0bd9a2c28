// Hides or restores one path through the main window's own operations, as the window's commands
// do, and reports how long it took and how much of that was the flush to disk.
// Usage: kelvarn_workflow hide|restore PATH   (password in KELVARN_BENCH_PASSWORD)
// Prints: "<op> total_ms=<ms> flush_ms=<ms>" on standard output, and for a hide the steps after the
// locker is named: aside_ms (the item renamed aside), compare_ms (the tree held against what was
// packed), delete_ms (the deletion through descriptors, and the hidden list); status 0 on success.
#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformEnvironment.h"
#include "mainwindow/UnitMain.h"
#include "settings/uSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
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
    QHash<QByteArray, qint64> At;
    SetFileStepHookForTest([&](const char* Step, const QString&) {
        const QByteArray Name(Step);
        At.insert(Name, Clock.nsecsElapsed());
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
            std::printf("%s total_ms=%.1f flush_ms=%.1f", qPrintable(Mode), TotalNs / 1e6, FlushNs / 1e6);
            if (At.contains("Hide:aside") && At.contains("Hide:compare") && At.contains("Hide:delete"))
                std::printf(" aside_ms=%.1f compare_ms=%.1f delete_ms=%.1f",
                            (At.value("Hide:compare") - At.value("Hide:aside")) / 1e6,
                            (At.value("Hide:delete") - At.value("Hide:compare")) / 1e6,
                            (TotalNs - At.value("Hide:delete")) / 1e6);
            std::printf("\n");
            Status = 0;
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(ErrorText));
        }
    }
    SetFileStepHookForTest(nullptr);
    DialogSeam::Remove();
    return Status;
}
