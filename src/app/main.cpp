// nvlkelvarn: the desktop program. Everything but the process set-up is in the start-up sequence.
#include "app/KelvarnApplication.h"
#include "platform/ProcessHardening.h"
#include "app/SingleInstance.h"
#include "app/StartupSequence.h"
#include "mainwindow/UnitMain.h"

#include <QWidget>

int main(int argc, char** argv) {
    DisableCoreDumps();
    TKelvarnApplication App(argc, argv);
    App.setDesktopFileName(QStringLiteral("nvlkelvarn"));

    TSingleInstance Instance;
    if (!Instance.Acquire())
        return 0;
    QObject::connect(&Instance, &TSingleInstance::ActivationRequested, [] {
        QWidget* Window = QApplication::activeModalWidget();
        if (Window == nullptr)
            Window = frmMain;
        if (Window == nullptr)
            return;
        Window->showNormal();
        Window->raise();
        Window->activateWindow();
    });
    return RunStartup();
}
