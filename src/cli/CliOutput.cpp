#include "CliCommands.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

void PrintOut(const QString& Line) {
    std::fputs((Line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void PrintErr(const QString& Line) {
    std::fputs((Line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

int ReportFailure(const QString& Message) {
    PrintErr(QStringLiteral("kvlocker: ") + Message);
    return ExitFailure;
}

QString CleanCliPath(const QString& Path) {
    return QDir::cleanPath(QFileInfo(Path).absoluteFilePath());
}
