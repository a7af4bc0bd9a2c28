#include "settings/encryptor.h"

void InvertStreamBytes(TSettingsStream& Stream) {
    QByteArray& Bytes = Stream.Bytes();
    char* Data = Bytes.data();
    for (qsizetype I = 0; I < Bytes.size(); ++I)
        Data[I] = static_cast<char>(~static_cast<uint8_t>(Data[I]));
    Stream.Seek(0);
}

bool RollingKeyCipher(const uint8_t* Source, int64_t SourceLength, uint8_t* Dest, int64_t DestLength, TLegacyKey Key) {
    if (SourceLength != DestLength)
        return false;
    uint16_t State = Key.InitialState;
    for (int64_t I = 0; I < SourceLength; ++I) {
        const uint8_t Out = static_cast<uint8_t>(Source[I] ^ (State >> 8));
        Dest[I] = Out;
        State = static_cast<uint16_t>(((Out + (State & 0xFF)) & 0xFF) * Key.Multiplier + Key.Addend);
    }
    return true;
}
