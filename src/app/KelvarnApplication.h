#pragma once

#include <QApplication>

// The application object. An error that escapes an event handler is shown in an error box and the
// event loop goes on, instead of unwinding through Qt.
class TKelvarnApplication : public QApplication {
    Q_OBJECT

public:
    TKelvarnApplication(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};
