#include "LockerCorpus.h"
#include "locker/uLocker.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// ExtractLocker on arbitrary bytes with the corpus password. Seeds: the generated corpus.
// Each input is written to a fresh locker file and extracted into a fresh folder; anything that
// appears outside that folder is a finding.

namespace {

int32_t Int32At(const uint8_t* Data, size_t Offset) {
    return static_cast<int32_t>(uint32_t(Data[Offset]) | uint32_t(Data[Offset + 1]) << 8 |
                                uint32_t(Data[Offset + 2]) << 16 | uint32_t(Data[Offset + 3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    // Large iteration counts only make the fuzzer slow; the corpus test covers their handling.
    for (const size_t Offset : {size_t(13), size_t(65)})
        if (Size >= Offset + 4 && Int32At(Data, Offset) > 16)
            return 0;

    static QTemporaryDir Work;
    const QString Locker = Work.filePath(QStringLiteral("input.kvlocker"));
    const QString Dest = Work.filePath(QStringLiteral("out/dest"));
    {
        QFile File(Locker);
        if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        File.write(reinterpret_cast<const char*>(Data), static_cast<qint64>(Size));
    }
    try {
        (void)ExtractLocker(Locker, Dest, CorpusPassword);
        QString Message;
        (void)VerifyLocker(Locker, CorpusPassword, Message);
    } catch (const std::exception&) {
        // Opening the locker may raise to the caller; nothing else does.
    }
    const QStringList Outside = QDir(Work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& Name : Outside)
        if (Name != QLatin1String("input.kvlocker") && Name != QLatin1String("out"))
            std::abort();
    const QStringList Beside =
        QDir(Work.filePath(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& Name : Beside)
        if (Name != QLatin1String("dest"))
            std::abort();
    QDir(Work.filePath(QStringLiteral("out"))).removeRecursively();
    return 0;
}
