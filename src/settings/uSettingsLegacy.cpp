#include "settings/encryptor.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"
#include "settings/uSettings.h"

#include <QFile>

bool LoadLegacySettings(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw EKelvarnError(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, File.errorString()));
    TSettingsStream Scrambled(File.readAll());
    if (File.error() != QFileDevice::NoError)
        throw EKelvarnError(QStringLiteral("Cannot read file \"%1\". %2").arg(Path, File.errorString()));
    File.close();

    InvertStreamBytes(Scrambled);
    const int64_t Length = Scrambled.Size();
    TSettingsStream Record(QByteArray(Length, '\0'));
    RollingKeyCipher(reinterpret_cast<const uint8_t*>(Scrambled.Bytes().constData()), Length,
                     reinterpret_cast<uint8_t*>(Record.Bytes().data()), Length, LegacySettingsKey);

    if (Record.ReadInt32() < 1)
        throw EKelvarnError(Translate("Unsupported settings version."));
    GeneralPassword = ReadSettingsString(Record);
    StrongHide = Record.ReadByte() != 0;
    const int32_t Count = Record.ReadInt32();
    PathList.clear();
    for (int32_t I = 0; I < Count; ++I)
        PathList.append(ReadSettingsString(Record));
    return true;
}
