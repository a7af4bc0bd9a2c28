#include "LockerCorpus.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFiles.h"
#include "locker/uLocker.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/stat.h>

// The fuzzed bytes are the plaintext payload of a locker that authenticates under the corpus keys
// (iteration count 1), so every input gets past the MAC to the entry parser and the extraction.
// Each input is extracted into a fresh folder, removed afterwards. Findings: sanitizer reports,
// anything that appears outside that folder, a staging folder left behind, and an extraction that
// succeeds where the verifier refuses the same locker.

namespace {

// Extracted folders may carry any mode, even one that shuts their owner out.
bool RemoveTree(const QString& Path) {
    struct stat St;
    const QByteArray Encoded = QFile::encodeName(Path);
    if (::lstat(Encoded.constData(), &St) != 0)
        return true;
    if (S_ISDIR(St.st_mode)) {
        if (::chmod(Encoded.constData(), 0700) != 0)
            return false;
        const QStringList Names =
            QDir(Path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& Name : Names)
            if (!RemoveTree(Path + QLatin1Char('/') + Name))
                return false;
        return ::rmdir(Encoded.constData()) == 0;
    }
    return ::unlink(Encoded.constData()) == 0;
}

QStringList Listing(const QString& Folder) {
    return QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void Require(bool Condition) {
    if (!Condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static QTemporaryDir Work;
    Require(Work.isValid());
    const QString Locker = Work.filePath(QStringLiteral("input.kvlocker"));
    const QString Out = Work.filePath(QStringLiteral("out"));
    const QString Dest = Out + QStringLiteral("/dest");
    {
        QFile::remove(Locker);
        TFileStream Stream(Locker, TFileStream::TMode::CreateNew);
        WriteCorpusLocker(Stream,
                          QByteArray::fromRawData(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size)));
        Stream.Close();
    }
    TLockerResult Result;
    try {
        Result = ExtractLocker(Locker, Dest, CorpusPassword);
    } catch (const std::exception&) {
        // Only opening the locker raises to the caller, and this one is ours.
        std::abort();
    }
    QString Message;
    const bool Verified = VerifyLocker(Locker, CorpusPassword, Message);
    // The verifier checks a subset of what the extraction refuses.
    Require(!Result.Success || Verified);

    Require(Listing(Work.path()) == QStringList({QStringLiteral("input.kvlocker"), QStringLiteral("out")}) ||
            Listing(Work.path()) == QStringList({QStringLiteral("input.kvlocker")}));
    const QStringList Beside = Listing(Out);
    Require(Beside.isEmpty() || Beside == QStringList({QStringLiteral("dest")}));
    const QStringList Extracted = Listing(Dest);
    for (const QString& Name : Extracted)
        Require(!Name.startsWith(QLatin1String(StagingFolderPrefix)));
    // One item, the packed one, or nothing when the locker is refused.
    Require(Extracted.size() == (Result.Success ? 1 : 0));
    Require(RemoveTree(Out));
    return 0;
}
