// Opening a locker to check it: the header, the password slot and one authenticated pass.
#include "locker/uLockerReading.h"

using namespace LockerReading;

bool VerifyLocker(TFileStream& Stream, const QString& Password, QString& Message) {
    Message.clear();
    try {
        const TLockerHeader Header = ReadHeader(Stream);
        TSecretBytes Master(UnwrapSlot(Header.Password, Password));
        TAuthenticatedPass Pass(Stream, Header, Master.Value, PassCapacity(Header.Length));
        const QString Problem = StructureProblem(Pass.Reader());
        if (!Pass.Finish()) {
            Message = Translate("Locker verification failed (MAC mismatch).");
            return false;
        }
        Message = Problem;
        return Problem.isEmpty();
    } catch (const std::exception& Error) {
        Message = ErrorTextOf(Error);
    } catch (...) {
        Message = QStringLiteral("Unknown error");
    }
    return false;
}

bool VerifyLocker(const QString& LockerFile, const QString& Password, QString& Message) {
    Message.clear();
    try {
        if (!LockerFileExists(LockerFile)) {
            Message = Translate("Locker file does not exist.");
            return false;
        }
        TFileStream Stream(LockerFile, TFileStream::TMode::OpenReadShared);
        return VerifyLocker(Stream, Password, Message);
    } catch (const std::exception& Error) {
        Message = ErrorTextOf(Error);
    }
    return false;
}

bool IsLockerFileName(const QString& Path) {
    static const QLatin1String Extension(".kvlocker");
    const QString Name = Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype Dot = Name.lastIndexOf(QLatin1Char('.'));
    if (Dot < 0 || Name.size() - Dot != Extension.size())
        return false;
    for (qsizetype I = 0; I < Extension.size(); ++I) {
        char16_t C = Name[Dot + I].unicode();
        if (C >= u'A' && C <= u'Z')
            C = static_cast<char16_t>(C + (u'a' - u'A'));
        if (C != static_cast<char16_t>(Extension[I].unicode()))
            return false;
    }
    return true;
}
