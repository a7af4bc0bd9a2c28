#include "KelvarnApplication.h"

#include "DialogSeam.h"
#include "KelvarnError.h"

TKelvarnApplication::TKelvarnApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TKelvarnApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const EKelvarnError& Error) {
        ShowMessageBox(Error.Message(), TMsgKind::Error);
    } catch (const std::exception& Error) {
        ShowMessageBox(QString::fromLocal8Bit(Error.what()), TMsgKind::Error);
    }
    return false;
}
