#include "app/KelvarnApplication.h"

#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"

TKelvarnApplication::TKelvarnApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TKelvarnApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& Error) {
        ShowMessageBox(ErrorTextOf(Error), TMsgKind::Error);
    }
    return false;
}
