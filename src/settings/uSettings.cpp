#include "settings/uSettings.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformEnvironment.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"
#include "crypto/uTextField.h"

#include <QDir>

QString GeneralPassword;
bool StrongHide = true;
QStringList PathList;

QString SettingsFilePath() {
    const QString Folder = AppConfigFolder();
    QDir().mkpath(Folder);
    return Folder + QStringLiteral("/settings.dt");
}

QString SettingsPassPhrase() {
    const QString Separator = QStringLiteral("|");
    return ComputerName() + Separator + UserName() + Separator + ApplicationTitle() + QStringLiteral("/settings-v2");
}

void WriteSettingsString(TSettingsStream& Stream, const QString& Text) {
    TSecretBytes Field(TextField::Encode(Text));
    Stream.WriteBuffer(Field.Value.constData(), Field.Value.size());
}

QString ReadSettingsString(TSettingsStream& Stream) {
    const int32_t Count = Stream.ReadInt32();
    TextField::CheckCount(Count, Stream.Remaining(), Translate("Invalid string length in settings."),
                          QStringLiteral("Stream read error"));
    const TSecretBytes Bytes(ReadSettingsBytes(Stream, Count));
    return TextField::Decode(Bytes.Value.constData(), Count);
}

QByteArray ReadSettingsBytes(TSettingsStream& Stream, int Count) {
    if (Count < 0)
        throw EKelvarnError(Translate("Invalid byte count in settings."));
    // A hostile count must not make us reserve memory the stream cannot fill.
    if (Count > Stream.Remaining())
        throw EKelvarnError(QStringLiteral("Stream read error"));
    QByteArray Bytes(Count, Qt::Uninitialized);
    Stream.ReadBuffer(Bytes.data(), Count);
    return Bytes;
}

QByteArray ConcatBytes(const QByteArray& A, const QByteArray& B) {
    QByteArray Result;
    Result.reserve(A.size() + B.size());
    Result.append(A);
    Result.append(B);
    return Result;
}
