// One listed path into its locker, and back.
#include "DialogSeam.h"
#include "KelvarnError.h"
#include "PathFileOps.h"
#include "PathRules.h"
#include "PlatformDirHandle.h"
#include "PlatformFiles.h"
#include "UnitMain.h"
#include "translation.h"
#include "uLocker.h"
#include "uSettings.h"

#include <QCheckBox>
#include <QDir>

#include <sys/stat.h>

namespace {

void DeleteFileIfExists(const QString& Path) {
    if (Fs::FileExists(Path) && !Fs::DeleteFile(Path))
        throw EKelvarnError(SystemErrorText(errno));
}

// The folder part of a full path ("/data/Photos" gives "/data", "/Photos" gives "/").
QString TargetFolderOf(const QString& Path) {
    const qsizetype Slash = Path.lastIndexOf(QLatin1Char('/'));
    if (Slash < 0)
        return QDir::currentPath();
    return Slash == 0 ? QStringLiteral("/") : Path.left(Slash);
}

} // namespace

bool TfrmMain::HidePathIntoLocker(const QString& Path, QString& ErrorText) {
    ErrorText.clear();
    if (GeneralPassword.isEmpty()) {
        ErrorText = Translate("General password is not set.");
        return false;
    }
    const QString Locker = LockerPathFor(Path);
    if (Fs::FileExists(Locker)) {
        ErrorText = Translate("Locker already exists: ") + Locker;
        return false;
    }
    if (!Fs::FileExists(Path) && !Fs::DirectoryExists(Path)) {
        ErrorText = Translate("Path not found: ") + Path;
        return false;
    }
    const TDirHandle Folder = TDirHandle::Open(TargetFolderOf(Locker), true);
    const QString LockerName = Locker.mid(Locker.lastIndexOf(QLatin1Char('/')) + 1);
    const QString TemporaryName = LockerName + QStringLiteral(".tmp");
    // A temporary file there is what an interrupted run left: never a finished locker, never the
    // user's data.
    struct stat Leftover;
    if (Folder.StatChild(TemporaryName, Leftover) && !S_ISDIR(Leftover.st_mode))
        Folder.Unlink(TemporaryName);

    // Written, checked and flushed through one descriptor, and named only then; any way out before
    // that removes it. The check reads the file back behind the writer.
    TPendingFile Temporary(Folder, TemporaryName);
    const TLockerResult Result = CreateVerifiedLocker(
        Path, Temporary.Stream(), GeneralPassword,
        [this](const QString& Item, int64_t Done, int64_t Total) { ReportProgress(Item, Done, Total); },
        [this] { return IsStopRequested(); });
    if (!Result.Success) {
        ErrorText = Result.MessageText;
        return false;
    }
    if (FStopRequested) {
        ErrorText = Translate("Operation cancelled by user.");
        return false;
    }
    // The locker and its name reach the disk before the only other copy is deleted.
    RunFileStepHook("Hide:flush", Locker);
    Temporary.Commit(LockerName, false);
    RunFileStepHook("Hide:flushed", Locker);
    if (!TryDeletePath(Path)) {
        DeleteFileIfExists(Locker);
        ErrorText = Translate("Failed to move original item to Recycle Bin.");
        return false;
    }
    SetHiddenAttributes(Locker, true, chkStrongHide->isChecked());
    return true;
}

bool TfrmMain::RestorePathFromLocker(const QString& Path, QString& ErrorText) {
    ErrorText.clear();
    if (GeneralPassword.isEmpty()) {
        ErrorText = Translate("General password is not set.");
        return false;
    }
    const QString Locker = LockerPathFor(Path);
    if (!Fs::FileExists(Locker)) {
        ErrorText = Translate("Locker file not found: ") + Locker;
        return false;
    }
    bool Skip = false;
    bool Replace = false;
    if (!ResolveRestoreConflict(Path, Skip, Replace, ErrorText))
        return false;
    if (Skip)
        return true;
    SetHiddenAttributes(Locker, false, false);
    auto HideAgain = [&] { SetHiddenAttributes(Locker, true, chkStrongHide->isChecked()); };

    // The item is rebuilt in a private folder beside Path and moved into place only when whole and
    // on disk, so partial output only ever lives in that folder, and removing it touches nothing
    // else. The user's existing item is replaced only then, so a failed extraction never costs it.
    TLockerStaging Staging;
    bool PartialRemoved = false;
    auto RemovePartialOutput = [&] {
        Staging.Discard();
        PartialRemoved = true;
    };
    try {
        if (Fs::DirectoryExists(TargetFolderOf(Path)))
            RemoveStagingLeftovers(TDirHandle::Open(TargetFolderOf(Path), true));
        const TLockerResult Result = Staging.Extract(
            Locker, TargetFolderOf(Path), GeneralPassword,
            [this](const QString& Item, int64_t Done, int64_t Total) { ReportProgress(Item, Done, Total); },
            [this] { return IsStopRequested(); });
        if (!Result.Success || FStopRequested) {
            RemovePartialOutput();
            ErrorText = Result.Success ? Translate("Operation cancelled by user.") : Result.MessageText;
            HideAgain();
            return false;
        }
        if (Replace && !TryDeletePath(Path)) {
            RemovePartialOutput();
            ErrorText = Translate("Failed to remove existing path before decrypting: ") + Path;
            HideAgain();
            return false;
        }
        // A renamed locker still restores under Path's own name.
        Staging.MoveIntoPlace(Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1));
    } catch (const EKelvarnError& Error) {
        try {
            RemovePartialOutput();
        } catch (const EKelvarnError&) {
        }
        if (Fs::FileExists(Locker)) {
            try {
                HideAgain();
            } catch (const EKelvarnError&) {
            }
        }
        ErrorText = Error.Message();
        if (PartialRemoved)
            ErrorText += QStringLiteral("\r\n") + Translate("(Partial decrypted output was removed.)");
        return false;
    }
    if (!Fs::DeleteFile(Locker)) {
        // The item is back and whole; the locker stays, hidden again, and the row shows both.
        ErrorText = SystemErrorText(errno);
        try {
            HideAgain();
        } catch (const EKelvarnError&) {
        }
        return false;
    }
    return true;
}

bool TfrmMain::ResolveRestoreConflict(const QString& Path, bool& Skip, bool& Replace, QString& ErrorText) {
    Skip = false;
    Replace = false;
    ErrorText.clear();
    const QString Locker = LockerPathFor(Path);
    if (!Fs::FileExists(Locker))
        return true;
    if (!Fs::FileExists(Path) && !Fs::DirectoryExists(Path))
        return true;
    const QString CrLf = QStringLiteral("\r\n");
    // The last line stays English whatever the language.
    const QString Text = Translate("Conflict detected for:") + CrLf + Path + CrLf + CrLf +
                         Translate("Both the real path and the locker file exist.") + CrLf +
                         Translate("Yes - replace the existing path with the decrypted locker item.") + CrLf +
                         Translate("No - remove the locker and keep the existing path.") + CrLf +
                         QStringLiteral("Cancel - skip this item.");
    switch (ShowMessageBox(Text, TMsgKind::Warning, TMsgButtons::YesNoCancel)) {
    case TMsgResult::Yes:
        // Replaced once the locker's content is extracted in full.
        Replace = true;
        return true;
    case TMsgResult::No:
        SetHiddenAttributes(Locker, false, false);
        if (!Fs::DeleteFile(Locker))
            throw EKelvarnError(SystemErrorText(errno));
        Skip = true;
        return true;
    default:
        Skip = true;
        return true;
    }
}
