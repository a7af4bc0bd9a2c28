#include "settings/uAtomicFile.h"

#include "platform/KelvarnError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

[[noreturn]] void RaiseFileError(const char* What, const QString& Path, int Errno) {
    throw EKelvarnError(QStringLiteral("%1 \"%2\". %3").arg(QLatin1String(What), Path, qt_error_string(Errno)));
}

// Closes and removes the temporary file unless it has been renamed into place.
class TTempFile {
public:
    TTempFile(int Handle, QByteArray Name) : FHandle(Handle), FName(std::move(Name)) {}
    ~TTempFile() {
        if (FHandle >= 0)
            ::close(FHandle);
        if (!FName.isEmpty())
            ::unlink(FName.constData());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    int Handle() const { return FHandle; }
    const QByteArray& Name() const { return FName; }
    // close() reports delayed write errors (NFS, quotas), so its result counts.
    int Close() {
        const int Rc = ::close(FHandle);
        FHandle = -1;
        return Rc;
    }
    void Release() { FName.clear(); }

private:
    int FHandle;
    QByteArray FName;
};

// 0 or the errno of the failed write.
int WriteAll(int Handle, const char* Data, qint64 Count) {
    while (Count > 0) {
        const ssize_t Done = ::write(Handle, Data, static_cast<size_t>(Count));
        if (Done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (Done == 0)
            return ENOSPC;
        Data += Done;
        Count -= Done;
    }
    return 0;
}

} // namespace

void ReplaceFileContents(const QString& Path, const QByteArray& Bytes, mode_t Mode) {
    const QByteArray Target = QFile::encodeName(Path);
    QByteArray Template = Target + ".tmp-XXXXXX";
    const int Handle = ::mkostemp(Template.data(), O_CLOEXEC);
    if (Handle < 0)
        RaiseFileError("Cannot create file", QFile::decodeName(Template), errno);
    TTempFile Temp(Handle, Template);

    int Errno = ::fchmod(Handle, Mode) == 0 ? 0 : errno;
    if (Errno == 0)
        Errno = WriteAll(Handle, Bytes.constData(), Bytes.size());
    if (Errno == 0 && ::fsync(Handle) != 0)
        Errno = errno;
    if (Errno != 0)
        RaiseFileError("Cannot write file", QFile::decodeName(Template), Errno);
    if (Temp.Close() != 0)
        RaiseFileError("Cannot write file", QFile::decodeName(Template), errno);
    if (::rename(Temp.Name().constData(), Target.constData()) != 0)
        RaiseFileError("Cannot replace file", Path, errno);
    Temp.Release();

    // Makes the rename itself durable. Some file systems refuse fsync on a folder; the new file is
    // in place and complete by now, so that is no reason to report the save as failed.
    const QByteArray Folder = QFile::encodeName(QFileInfo(Path).absolutePath());
    const int FolderHandle = ::open(Folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FolderHandle >= 0) {
        ::fsync(FolderHandle);
        ::close(FolderHandle);
    }
}
