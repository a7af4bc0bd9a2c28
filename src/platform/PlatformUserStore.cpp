#include "platform/PlatformUserStore.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

QString UserStorePath() {
    return QDir(AppConfigFolder()).filePath(QStringLiteral("preferences.ini"));
}

bool ReadUserStoreString(const QString& Name, QString& Value) {
    const QString Path = UserStorePath();
    if (!QFileInfo(Path).isFile())
        return false;
    QSettings Store(Path, QSettings::IniFormat);
    // An unreadable store is a key that cannot be opened: the caller falls back to its default.
    if (Store.status() != QSettings::NoError || !Store.contains(Name))
        return false;
    const QVariant Stored = Store.value(Name);
    // INI values read back as text unless written in one of QSettings' typed forms (lists,
    // @ByteArray, @Variant, @Invalid): those are the registry's non-string value types.
    if (Stored.typeId() != QMetaType::QString)
        throw EKelvarnError(QStringLiteral("Invalid data type for '%1' in %2").arg(Name, Path));
    Value = Stored.toString();
    return true;
}

bool WriteUserStoreString(const QString& Name, const QString& Value) {
    const QString Path = UserStorePath();
    if (!QDir().mkpath(QFileInfo(Path).absolutePath()))
        return false;
    QSettings Store(Path, QSettings::IniFormat);
    if (Store.status() != QSettings::NoError)
        return false;
    Store.setValue(Name, Value);
    Store.sync();
    return Store.status() == QSettings::NoError;
}
