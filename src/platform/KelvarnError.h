#pragma once

#include <QString>
#include <new>
#include <stdexcept>

// The one error type of the program. Each boundary (locker operation, per-path operation, command,
// start-up) catches it and turns its message into a result.
class EKelvarnError : public std::runtime_error {
public:
    explicit EKelvarnError(const QString& Message) : std::runtime_error(Message.toStdString()), FMessage(Message) {}

    const QString& Message() const noexcept { return FMessage; }

private:
    QString FMessage;
};

// The message of any error a boundary catches: ours as it was made, an exhausted memory in words,
// others as the library put it.
inline QString ErrorTextOf(const std::exception& Error) {
    if (const auto* Own = dynamic_cast<const EKelvarnError*>(&Error))
        return Own->Message();
    if (dynamic_cast<const std::bad_alloc*>(&Error))
        return QStringLiteral("Out of memory");
    return QString::fromLocal8Bit(Error.what());
}
