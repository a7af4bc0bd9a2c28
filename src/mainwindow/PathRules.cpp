#include "mainwindow/PathRules.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformFiles.h"
#include "dialogs/TextRules.h"
#include "translation/translation.h"

QString ListedPathFor(const QString& Path) {
    if (TrimBlanks(Path).isEmpty() || Path.contains(QChar(0)))
        throw EKelvarnError(Translate("Invalid source path."));
    return Fs::FullPath(Path);
}

QString LockerPathFor(const QString& Path) {
    return ListedPathFor(Path) + QStringLiteral(".kvlocker");
}

bool IsPathHidden(const QString& Path) {
    return Fs::FileExists(LockerPathFor(Path));
}
