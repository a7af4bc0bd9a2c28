#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the program. Each boundary (locker operation, per-path operation, command,
// start-up) catches it and turns its message into a result.
class EKelvarnError : public std::runtime_error {
public:
    explicit EKelvarnError(const QString& Message)
        : std::runtime_error(Message.toStdString()), FMessage(Message) {}

    const QString& Message() const noexcept { return FMessage; }

private:
    QString FMessage;
};
