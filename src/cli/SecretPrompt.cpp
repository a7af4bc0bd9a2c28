#include "cli/SecretPrompt.h"

#include "cli/CliInterrupt.h"
#include "platform/KelvarnError.h"
#include "crypto/uSecurityUtils.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace {

// A password longer than this is refused rather than let the buffer grow: every reallocation would
// leave a copy of the secret behind in freed memory.
constexpr qsizetype MaxSecretBytes = 4096;

// The line buffer of a secret: reserved once, wiped whatever way the read ends.
class TSecretLine {
public:
    TSecretLine() { FBytes.reserve(MaxSecretBytes); }
    ~TSecretLine() { Wipe(); }
    TSecretLine(const TSecretLine&) = delete;
    TSecretLine& operator=(const TSecretLine&) = delete;
    QByteArray& Bytes() { return FBytes; }
    void Wipe() {
        // The whole reserved block, not just the current length: a chopped "\r" lies beyond it.
        FBytes.resize(FBytes.capacity());
        WipeBytes(FBytes);
        FBytes.clear();
    }

private:
    QByteArray FBytes;
};

// Reads one line byte by byte, so that nothing after the line is taken from a shared input.
// Returns false at end of input before any byte.
bool ReadLine(int Fd, QByteArray& Line) {
    Line.clear();
    bool Any = false;
    for (;;) {
        char C = 0;
        const ssize_t N = ::read(Fd, &C, 1);
        if (N < 0) {
            if (errno == EINTR && !InterruptRequested())
                continue;
            if (errno == EINTR)
                throw EKelvarnError(QStringLiteral("Cancelled."));
            throw EKelvarnError(
                QStringLiteral("Cannot read the password: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        }
        if (N == 0)
            return Any;
        Any = true;
        if (C == '\n')
            break;
        if (Line.size() + 1 >= MaxSecretBytes)
            throw EKelvarnError(QStringLiteral("The password is too long."));
        Line.append(C);
    }
    if (Line.endsWith('\r'))
        Line.chop(1);
    return true;
}

QString TakeSecret(TSecretLine& Line) {
    QString Secret = QString::fromUtf8(Line.Bytes());
    Line.Wipe();
    return Secret;
}

// Echo stays off only while the guard lives, whatever way the read ends.
class TEchoOff {
public:
    explicit TEchoOff(int Fd) : FFd(Fd) {
        if (tcgetattr(FFd, &FSaved) != 0)
            throw EKelvarnError(
                QStringLiteral("Cannot read the terminal's settings: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        termios Quiet = FSaved;
        Quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        Quiet.c_lflag |= ECHONL;
        if (tcsetattr(FFd, TCSAFLUSH, &Quiet) != 0)
            throw EKelvarnError(
                QStringLiteral("Cannot turn the terminal's echo off: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    }
    ~TEchoOff() { tcsetattr(FFd, TCSAFLUSH, &FSaved); }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    int FFd;
    termios FSaved{};
};

} // namespace

QString ReadSecretFromTerminal(const QString& Prompt) {
    if (!isatty(STDIN_FILENO))
        throw EKelvarnError(
            QStringLiteral("Standard input is not a terminal: give the password with --password-stdin."));
    std::fputs(Prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    TSecretLine Line;
    bool Got = false;
    {
        TEchoOff Guard(STDIN_FILENO);
        Got = ReadLine(STDIN_FILENO, Line.Bytes());
    }
    if (!Got) {
        std::fputs("\n", stderr);
        throw EKelvarnError(QStringLiteral("No password given."));
    }
    return TakeSecret(Line);
}

QString ReadSecretFromStdin() {
    TSecretLine Line;
    if (!ReadLine(STDIN_FILENO, Line.Bytes()))
        throw EKelvarnError(QStringLiteral("No password on standard input."));
    return TakeSecret(Line);
}

QString AskSecret(bool FromStdin, const QString& Prompt, bool Confirm) {
    InstallInterruptHandlerForPrompt();
    QString Secret;
    if (FromStdin) {
        Secret = ReadSecretFromStdin();
    } else {
        Secret = ReadSecretFromTerminal(Prompt);
        if (Confirm) {
            QString Again = ReadSecretFromTerminal(QStringLiteral("Repeat the password: "));
            const bool Same = Again == Secret;
            WipeString(Again);
            if (!Same) {
                WipeString(Secret);
                throw EKelvarnError(QStringLiteral("The two passwords differ."));
            }
        }
    }
    InstallInterruptHandler();
    if (InterruptRequested()) {
        WipeString(Secret);
        throw EKelvarnError(QStringLiteral("Cancelled."));
    }
    return Secret;
}
