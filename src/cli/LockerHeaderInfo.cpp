#include "cli/LockerHeaderInfo.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformFiles.h"
#include "locker/uLockerFormat.h"

TLockerHeaderInfo ReadLockerHeaderInfo(const QString& LockerFile) {
    if (!Fs::FileExists(LockerFile))
        throw EKelvarnError(QStringLiteral("Locker file does not exist."));
    TFileStream Stream(LockerFile, TFileStream::TMode::OpenReadShared);
    const TLockerHeader Header = ReadLockerHeader(Stream);
    TLockerHeaderInfo Info;
    Info.Version = Header.Version;
    Info.PasswordIterations = Header.Password.Iterations;
    Info.RecoveryIterations = Header.Recovery.Iterations;
    Info.PayloadLength = Header.Length;
    Info.PayloadStart = Header.PayloadStart;
    Info.FileSize = Stream.Size();
    return Info;
}
