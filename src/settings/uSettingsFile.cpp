#include "settings/uSettings.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFiles.h"
#include "settings/encryptor.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace {

// The two keys of one settings file, wiped when they go out of scope.
struct TSettingsKeys {
    TSecretBytes Encryption;
    TSecretBytes Mac;
};

void DeriveSettingsKeys(const QByteArray& Salt, TSettingsKeys& Keys) {
    const TSecretBytes Master(
        Pbkdf2Sha256(TSecretText(SettingsPassPhrase()).Value, Salt, SettingsFormat::Iterations, 32));
    Keys.Encryption.Value = HmacSha256(Master.Value, Utf8Bytes(QStringLiteral("kvs2-enc-key")));
    Keys.Mac.Value = HmacSha256(Master.Value, Utf8Bytes(QStringLiteral("kvs2-mac-key")));
}

QByteArray ReadWholeFile(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw EKelvarnError(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, File.errorString()));
    QByteArray Content = File.readAll();
    if (File.error() != QFileDevice::NoError)
        throw EKelvarnError(QStringLiteral("Cannot read file \"%1\". %2").arg(Path, File.errorString()));
    return Content;
}

// Raises when a check fails. Fields are assigned as they are read, so a record cut short keeps what
// came before.
void LoadCurrentFormat(const QByteArray& Content) {
    TSettingsStream File(Content);
    (void)ReadSettingsString(File); // the magic, already matched
    if (File.ReadInt32() != SettingsFormat::Version)
        throw EKelvarnError(Translate("Unsupported settings version."));
    const QByteArray Salt = ReadSettingsBytes(File, SettingsFormat::SaltLength);
    const QByteArray Nonce = ReadSettingsBytes(File, SettingsFormat::NonceLength);
    const QByteArray StoredMac = ReadSettingsBytes(File, SettingsFormat::MacLength);
    const QByteArray Ciphertext = Content.mid(File.Position());

    TSettingsKeys Keys;
    DeriveSettingsKeys(Salt, Keys);
    if (!ConstantTimeEquals(HmacSha256(Keys.Mac.Value, ConcatBytes(Nonce, Ciphertext)), StoredMac))
        throw EKelvarnError(Translate("Settings integrity check failed."));

    QByteArray Plain(Ciphertext.constData(), Ciphertext.size());
    HmacCtrXor(Plain, Keys.Encryption.Value, Nonce);
    TSettingsStream Record(std::move(Plain));
    GeneralPassword = ReadSettingsString(Record);
    StrongHide = Record.ReadByte() != 0;
    const int32_t Count = Record.ReadInt32();
    // The count is not trusted for a reservation: a read past the end stops the loop.
    for (int32_t I = 0; I < Count; ++I) {
        const QString Entry = ReadSettingsString(Record);
        if (!Entry.isEmpty())
            PathList.append(Entry);
    }
}

// The load moves the file aside at once, so that the start-up can say where it is and no later save
// can replace it. Earlier copies stay: each may open under the host name it was written on.
QString KeepUnreadableAside(const QString& Path) {
    const QString Base = Path + QLatin1String(SettingsFormat::UnreadableSuffix);
    for (int Number = 0;; ++Number) {
        const QString Target = Number == 0 ? Base : Base + QLatin1Char('.') + QString::number(Number);
        if (Fs::PathExists(Target))
            continue;
        try {
            Fs::RenameNoReplace(Path, Target);
        } catch (const EKelvarnError& Error) {
            throw EKelvarnError(QStringLiteral("Cannot rename file \"%1\". %2").arg(Path, Error.Message()));
        }
        return Target;
    }
}

// Replaces the file at Path with Bytes (owner-only) so that a crash, a power cut or a full disk at
// any moment leaves the old file or the new one whole, never a mix or a truncated file: the new one
// is written under a private name beside it, reaches the disk, and only then takes the name.
void ReplaceSettingsFile(const QString& Path, const QByteArray& Bytes) {
    const QFileInfo Info(Path);
    // The folder may be a link of the user's (kept with their other settings): followed this once.
    const TDirHandle Folder = TDirHandle::Open(Info.absolutePath(), true);
    TPendingFile File(Folder);
    try {
        // Whatever mode an older file had, and whatever the umask left.
        if (::fchmod(File.Stream().Handle(), 0600) != 0)
            throw EKelvarnError(SystemErrorText(errno));
        File.Stream().WriteBuffer(Bytes.constData(), Bytes.size());
        // Synced here as well as by Commit, so that a failing disk reads as the failed write it is.
        File.Stream().Flush();
    } catch (const EKelvarnError& Error) {
        throw EKelvarnError(QStringLiteral("Cannot write file \"%1\". %2").arg(File.Path(), Error.Message()));
    }
    File.Commit(Info.fileName(), true);
}

} // namespace

bool IsCurrentFormatFile(const QByteArray& Content) {
    TSettingsStream File(Content);
    try {
        return ReadSettingsString(File) == QLatin1String(SettingsFormat::Magic);
    } catch (const std::exception&) {
        return false;
    }
}

bool SaveSettings() {
    TSettingsStream Record;
    WriteSettingsString(Record, GeneralPassword);
    Record.WriteByte(StrongHide ? 1 : 0);
    Record.WriteInt32(static_cast<int32_t>(PathList.size()));
    for (const QString& Entry : PathList)
        WriteSettingsString(Record, Entry);

    const QByteArray Salt = RandomBytes(SettingsFormat::SaltLength);
    const QByteArray Nonce = RandomBytes(SettingsFormat::NonceLength);
    TSettingsKeys Keys;
    DeriveSettingsKeys(Salt, Keys);
    QByteArray Ciphertext(Record.Bytes().constData(), Record.Bytes().size());
    HmacCtrXor(Ciphertext, Keys.Encryption.Value, Nonce);
    const QByteArray Mac = HmacSha256(Keys.Mac.Value, ConcatBytes(Nonce, Ciphertext));

    TSettingsStream File;
    WriteSettingsString(File, QLatin1String(SettingsFormat::Magic));
    File.WriteInt32(SettingsFormat::Version);
    File.WriteBuffer(Salt.constData(), Salt.size());
    File.WriteBuffer(Nonce.constData(), Nonce.size());
    File.WriteBuffer(Mac.constData(), Mac.size());
    File.WriteBuffer(Ciphertext.constData(), Ciphertext.size());

    const QString Path = SettingsFilePath();
    QDir().mkpath(QFileInfo(Path).absolutePath());
    ReplaceSettingsFile(Path, File.Bytes());
    return true;
}

TSettingsLoad LoadSettings() {
    PathList.clear();
    const QString Path = SettingsFilePath();
    if (!QFileInfo(Path).isFile())
        return {};
    const QByteArray Content = ReadWholeFile(Path);
    if (Content.isEmpty())
        return {};
    try {
        // A file with the current magic is damaged or foreign when it fails; the legacy reader
        // would only misread it.
        if (IsCurrentFormatFile(Content)) {
            LoadCurrentFormat(Content);
            return {};
        }
        if (LoadLegacySettings(Path))
            return {};
    } catch (const std::exception&) {
    }
    return {false, KeepUnreadableAside(Path)};
}
