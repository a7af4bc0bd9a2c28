#include "cli/CliCommands.h"
#include "locker/uLockerNames.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

void PrintOut(const QString& Line) {
    std::fputs((Line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void PrintErr(const QString& Line) {
    std::fputs((Line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString TerminalName(const QString& Name) {
    // One character at a time: PrintableName cuts a long name short, and a path shown in part would
    // name another file.
    QString Out;
    for (const QChar Char : Name)
        Out += PrintableName(QString(Char));
    return Out;
}

int ReportFailure(const QString& Message) {
    // Messages from the engine carry paths as they are, and put each item on a line of its own
    // after a CR LF; a lone line break can only come from a name.
    QStringList Lines = Message.split(QStringLiteral("\r\n"));
    for (QString& Line : Lines)
        Line = TerminalName(Line);
    PrintErr(QStringLiteral("kvlocker: ") + Lines.join(QLatin1Char('\n')));
    return ExitFailure;
}

QString CleanCliPath(const QString& Path) {
    return QDir::cleanPath(QFileInfo(Path).absoluteFilePath());
}
