#include "platform/PlatformEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <climits>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

// Everything runs on the user-interface thread; the overrides are set by tests before any use.
bool GIdentityOverridden = false;
QString GComputerOverride;
QString GUserOverride;
QString GConfigFolderOverride;

// An environment variable that names an absolute folder, or empty. Relative values are ignored, as
// the XDG base-directory rules demand: they would make the folder depend on the working directory.
QString AbsoluteFolderFromEnv(const char* Name) {
    const QString Value = qEnvironmentVariable(Name);
    if (Value.isEmpty() || !QDir::isAbsolutePath(Value))
        return QString();
    return Value;
}

QString WithTrailingSeparator(const QString& Folder) {
    return Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
}

} // namespace

QString ApplicationTitle() {
    return QStringLiteral("NVL Kelvarn");
}

QString ProgramVersion() {
    return QStringLiteral("2.3");
}

int ProgramVersionNumber() {
    return 23;
}

QString MakerWebAddress() {
    return QStringLiteral("https://www.nvlkelvarn.org");
}

QString ComputerName() {
    if (GIdentityOverridden)
        return GComputerOverride;
    char Buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(Buffer, sizeof(Buffer) - 1) != 0)
        return QString();
    return QString::fromUtf8(Buffer);
}

QString UserName() {
    if (GIdentityOverridden)
        return GUserOverride;
    long Suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    size_t Size = Suggested > 0 ? static_cast<size_t>(Suggested) : 16384;
    for (int Attempt = 0; Attempt < 8; ++Attempt) {
        std::vector<char> Buffer(Size);
        passwd Entry{};
        passwd* Found = nullptr;
        const int Rc = getpwuid_r(geteuid(), &Entry, Buffer.data(), Buffer.size(), &Found);
        if (Rc == ERANGE) {
            Size *= 2;
            continue;
        }
        if (Rc != 0 || Found == nullptr || Found->pw_name == nullptr)
            return QString();
        return QString::fromUtf8(Found->pw_name);
    }
    return QString();
}

QString AppConfigFolder() {
    if (!GConfigFolderOverride.isEmpty())
        return GConfigFolderOverride;
    QString Base = AbsoluteFolderFromEnv("XDG_CONFIG_HOME");
    if (Base.isEmpty()) {
        const QString Home = AbsoluteFolderFromEnv("HOME");
        if (!Home.isEmpty())
            Base = WithTrailingSeparator(Home) + QStringLiteral(".config");
    }
    if (Base.isEmpty())
        Base = ProgramFolder();
    return WithTrailingSeparator(Base) + ApplicationTitle();
}

QString ProgramFolder() {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::applicationDirPath();
    const QString Exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (Exe.isEmpty())
        return QDir::currentPath();
    return QFileInfo(Exe).absolutePath();
}

void SetIdentityOverride(const QString& Computer, const QString& User) {
    GIdentityOverridden = !Computer.isEmpty() || !User.isEmpty();
    GComputerOverride = GIdentityOverridden ? Computer : QString();
    GUserOverride = GIdentityOverridden ? User : QString();
}

void SetConfigFolderOverride(const QString& Folder) {
    GConfigFolderOverride = Folder;
}
