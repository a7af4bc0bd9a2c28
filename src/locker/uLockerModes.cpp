#include "locker/uLockerModes.h"
#include "locker/uLockerFormat.h"

#include "platform/PlatformFiles.h"

#include <sys/stat.h>

int32_t StoredAttributes(uint32_t Attributes, bool IsDir) {
    const uint32_t Type = IsDir ? S_IFDIR : S_IFREG;
    const uint32_t Mode = Type | ((Attributes >> Attr::PermShift) & 07777);
    return static_cast<int32_t>((Attributes & 0xFFFFu) | (Mode << Attr::PermShift));
}

uint32_t RestoredMode(int32_t Attributes, bool IsDir) {
    const uint32_t Bits = static_cast<uint32_t>(Attributes);
    const uint32_t High = Bits >> Attr::PermShift;
    const bool OwnKind = (High & LockerFormat::TypeMask) == static_cast<uint32_t>(IsDir ? S_IFDIR : S_IFREG);
    uint32_t Mode = OwnKind ? (High & 0777) : (IsDir ? 0700u : 0600u);
    if (IsDir)
        return Mode;
    if (Bits & Attr::ReadOnly)
        Mode &= ~0222u;
    else
        Mode |= S_IWUSR;
    return Mode;
}

