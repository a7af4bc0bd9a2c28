#pragma once

#include "platform/PlatformFiles.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// A deterministic corpus of damaged and hostile lockers, built byte by byte with the format's own
// encodings under fixed keys, salts and nonce (iteration count 1 where the count is not under test).

inline const QString CorpusPassword = QStringLiteral("corpus password");
inline const QString CorpusRecoveryCode = QStringLiteral("0123-4567-89AB-CDEF-0123-4567-89AB-CDEF");

struct TCorpusEntry {
    QString Path;
    bool IsDir = false;
    int32_t Attr = 0;
    int64_t Size = 0; // as stored; Data follows and may differ from it in hostile cases
    QByteArray Data;
};

// The plaintext payload before encryption.
struct TCorpusPayload {
    QString RootName;
    bool RootIsFolder = true;
    QList<TCorpusEntry> Entries;
    bool OverrideCount = false;
    int32_t Count = 0;
    QByteArray Raw; // when not empty, the whole plaintext payload as given
};

// Plaintext bytes of a payload, in the format's field order.
QByteArray CorpusPlaintext(const TCorpusPayload& Payload);
// A well-formed locker around Plaintext, both slots at Iterations, MAC and length filled in, written
// as the writer writes one.
QByteArray BuildCorpusLocker(const QByteArray& Plaintext, int32_t Iterations = 1);
// The same into Stream, a new, empty file.
void WriteCorpusLocker(TFileStream& Stream, const QByteArray& Plaintext, int32_t Iterations = 1);
// Entries with Size taken from Data.
TCorpusEntry CorpusFile(const QString& Path, const QByteArray& Data, int32_t Attr = 0x20 | (0644 << 16));
TCorpusEntry CorpusFolder(const QString& Path);

struct TCorpusCase {
    QString Name;
    QByteArray Bytes;
    QString Secret;
    // First line of the expected ExtractLocker message (empty line = success).
    QString ExtractMessage;
    // First line of the expected VerifyLocker message with the password (empty = it passes).
    QString VerifyMessage;
    // False: nothing at all may be created at the destination (the locker did not authenticate).
    bool MayWrite = false;
    // When set, exactly these paths (relative to the destination, "/" separated) exist afterwards.
    bool CheckPaths = false;
    QStringList ExpectedPaths;
};

QList<TCorpusCase> BuildLockerCorpus();
// Writes each case as <Name>.kvlocker into Folder (created when missing); returns the count.
int WriteLockerCorpus(const QString& Folder);
