#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>

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
