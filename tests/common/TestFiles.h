#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

// File fixtures shared by the tests.

inline QByteArray Enc(const QString& Path) {
    return QFile::encodeName(Path);
}

// Writes Data with the given mode, creating missing parent folders.
inline bool WriteTestFile(const QString& Path, const QByteArray& Data, int Mode = 0644) {
    QDir().mkpath(QFileInfo(Path).path());
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate) || File.write(Data) != Data.size())
        return false;
    File.close();
    return ::chmod(Enc(Path).constData(), static_cast<mode_t>(Mode)) == 0;
}

// A file that cannot be read reads as Missing; a marker keeps it apart from an empty file.
inline QByteArray ReadTestFile(const QString& Path, const QByteArray& Missing = QByteArray()) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : Missing;
}

// Relative path -> what must survive a round trip: a file's content digest and mode, and for a
// folder its mode too when WithFolderModes (a folder moved into place gets its mode last, so
// a crash may leave it with another).
inline QMap<QString, QString> TreeSnapshot(const QString& Root, bool WithFolderModes = true) {
    QMap<QString, QString> Items;
    QDirIterator It(Root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QString Path = It.next();
        const QString Rel = QDir(Root).relativeFilePath(Path);
        struct stat St {};
        if (::lstat(Enc(Path).constData(), &St) != 0) {
            Items.insert(Rel, QStringLiteral("unreadable"));
        } else if (S_ISDIR(St.st_mode)) {
            Items.insert(Rel, WithFolderModes
                                  ? QStringLiteral("folder mode %1").arg(St.st_mode & 07777, 4, 8, QLatin1Char('0'))
                                  : QStringLiteral("folder"));
        } else {
            const QByteArray Digest =
                QCryptographicHash::hash(ReadTestFile(Path, "?unreadable"), QCryptographicHash::Sha256).toHex();
            Items.insert(Rel, QStringLiteral("file %1 mode %2")
                                  .arg(QString::fromLatin1(Digest))
                                  .arg(St.st_mode & 07777, 4, 8, QLatin1Char('0')));
        }
    }
    return Items;
}

// A file of Size bytes that starts with Head and is a hole after it, so that a large one costs no
// disk space.
inline bool WriteSparseFile(const QString& Path, const QByteArray& Head, qint64 Size) {
    QFile File(Path);
    return File.open(QIODevice::WriteOnly | QIODevice::Truncate) && File.write(Head) == Head.size() &&
           File.resize(Size);
}

// Bytes this process has read through read() and its kind so far (rchar), or -1. Children it has
// waited for count too: the kernel adds theirs when they are reaped.
inline qint64 BytesReadByProcess() {
    QFile Io(QStringLiteral("/proc/self/io"));
    if (!Io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& Line : Io.readAll().split('\n'))
        if (Line.startsWith("rchar:"))
            return Line.mid(6).trimmed().toLongLong();
    return -1;
}

// The share of the file's pages in the page cache, from 0 to 1; -1 when that cannot be told, as on
// a file system that keeps files only in memory (tmpfs), where nothing ever leaves the cache.
inline double CachedShare(const QString& Path) {
    const QByteArray Name = QFile::encodeName(Path);
    struct statfs Fs;
    if (::statfs(Name.constData(), &Fs) != 0 || Fs.f_type == 0x01021994 /* tmpfs */)
        return -1;
    const int Fd = ::open(Name.constData(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return -1;
    struct stat St;
    double Share = -1;
    if (::fstat(Fd, &St) == 0 && St.st_size > 0) {
        const long Page = ::sysconf(_SC_PAGESIZE);
        const size_t Pages = static_cast<size_t>((St.st_size + Page - 1) / Page);
        void* Map = ::mmap(nullptr, static_cast<size_t>(St.st_size), PROT_READ, MAP_SHARED, Fd, 0);
        if (Map != MAP_FAILED) {
            std::vector<unsigned char> Resident(Pages);
            if (::mincore(Map, static_cast<size_t>(St.st_size), Resident.data()) == 0) {
                size_t Count = 0;
                for (unsigned char R : Resident)
                    Count += R & 1;
                Share = static_cast<double>(Count) / static_cast<double>(Pages);
            }
            ::munmap(Map, static_cast<size_t>(St.st_size));
        }
    }
    ::close(Fd);
    return Share;
}
