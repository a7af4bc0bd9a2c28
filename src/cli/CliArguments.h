#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

// The command line of kvlocker: one command, its operands and a few options in any order.

enum class TCliCommand { None, Create, Extract, Verify, Info };

struct TCliArguments {
    TCliCommand Command = TCliCommand::None;
    QStringList Operands;
    bool Force = false;
    bool PasswordStdin = false;
    bool Help = false;
    bool Version = false;
};

// Wrong usage: the caller prints the message and the short usage, and exits with status 2.
class ECliUsageError : public std::runtime_error {
public:
    explicit ECliUsageError(const QString& Message) : std::runtime_error(Message.toStdString()), FMessage(Message) {}
    const QString& Message() const noexcept { return FMessage; }

private:
    QString FMessage;
};

// Arguments without the program name. Raises ECliUsageError; --help anywhere (or the command
// "help"), then --version, wins over every other mistake, so that asking for either never fails.
TCliArguments ParseCliArguments(const QStringList& Arguments);

QString CliUsageText();
QString CliHelpText();
