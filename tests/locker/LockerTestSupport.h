#pragma once

#include "TestFiles.h"
#include "locker/uLocker.h"
#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

// Fixtures shared by the locker tests: files with given content and mode, a snapshot of a tree
// (kind, permission bits and content digest of every item, links included and never followed), and
// lockers written to a path.

// Packs Source into LockerFile as a user's locker is published: under a private name in its folder,
// given the name only on success, and never over what is there unless Replace. The writer alone,
// unchecked, so that its own failures reach the test as they are.
inline TLockerResult CreateLockerAt(const QString& Source, const QString& LockerFile, const QString& Password,
                                    const TLockerProgressProc& Progress = nullptr,
                                    const TLockerCancelFunc& Cancel = nullptr, bool Replace = false) {
    try {
        const QFileInfo Locker(LockerFile);
        const TDirHandle Folder = TDirHandle::Open(Locker.absolutePath(), true);
        TPendingFile Pending(Folder);
        const TLockerResult Result = CreateLocker(Source, Pending.Stream(), Password, Progress, Cancel);
        if (Result.Success)
            Pending.Commit(Locker.fileName(), Replace);
        return Result;
    } catch (const EKelvarnError& Error) {
        TLockerResult Failed;
        Failed.MessageText = Error.Message();
        return Failed;
    }
}

inline QString DescribeItem(const QString& Path) {
    struct stat St;
    const QByteArray Encoded = QFile::encodeName(Path);
    if (::lstat(Encoded.constData(), &St) != 0)
        return QStringLiteral("missing");
    const QString Mode = QString::number(St.st_mode & 07777, 8);
    if (S_ISDIR(St.st_mode))
        return QStringLiteral("dir ") + Mode;
    if (S_ISLNK(St.st_mode)) {
        char Target[4096];
        const ssize_t N = ::readlink(Encoded.constData(), Target, sizeof Target);
        return QStringLiteral("link ") + QString::fromUtf8(Target, N < 0 ? 0 : N);
    }
    if (!S_ISREG(St.st_mode))
        return QStringLiteral("special");
    // Content is read even from files without read permission: the tests run as root in CI.
    return QStringLiteral("file ") + Mode + QLatin1Char(' ') +
           QString::fromLatin1(QCryptographicHash::hash(ReadTestFile(Path), QCryptographicHash::Sha256).toHex());
}

// Relative path ("/" separated) -> description, for everything below Root.
inline QMap<QString, QString> SnapshotTree(const QString& Root) {
    QMap<QString, QString> Items;
    QDirIterator It(Root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QString Path = It.next();
        Items.insert(QDir(Root).relativeFilePath(Path), DescribeItem(Path));
    }
    return Items;
}
