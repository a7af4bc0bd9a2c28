// One listed path into its locker, and back.
#include "DialogSeam.h"
#include "KelvarnError.h"
#include "PathFileOps.h"
#include "PathRules.h"
#include "PlatformFiles.h"
#include "UnitMain.h"
#include "translation.h"
#include "uLocker.h"
#include "uSettings.h"

#include <QCheckBox>
#include <QDir>

namespace {

void DeleteFileIfExists(const QString& Path) {
    if (FileExists(Path) && !DeleteFile(Path))
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
    const QString Temporary = Locker + QStringLiteral(".tmp");
    if (FileExists(Locker)) {
        ErrorText = Translate("Locker already exists: ") + Locker;
        return false;
    }
    if (!FileExists(Path) && !DirectoryExists(Path)) {
        ErrorText = Translate("Path not found: ") + Path;
        return false;
    }
    DeleteFileIfExists(Temporary);

    const TLockerResult Result = CreateLocker(
        Path, Temporary, GeneralPassword,
        [this](const QString& Item, int64_t Done, int64_t Total) { ReportProgress(Item, Done, Total); },
        [this] { return IsStopRequested(); });
    if (!Result.Success) {
        DeleteFileIfExists(Temporary);
        ErrorText = Result.MessageText;
        return false;
    }
    if (FStopRequested) {
        DeleteFileIfExists(Temporary);
        ErrorText = Translate("Operation cancelled by user.");
        return false;
    }
    QString Message;
    if (!VerifyLocker(Temporary, GeneralPassword, Message)) {
        DeleteFileIfExists(Temporary);
        ErrorText = Translate("Locker verification failed: ") + Message;
        return false;
    }
    RenameNoReplace(Temporary, Locker);
    if (!TryDeletePath(Path)) {
        DeleteFileIfExists(Locker);
        ErrorText = Translate("Failed to move original item to Recycle Bin.");
        return false;
    }
    SetHiddenAttributes(Locker, true, chkStrongHide->isChecked());
    return true;
}

void TfrmMain::RemovePartialOutput(const QString& Path, bool& PartialRemoved) {
    if (FileExists(Path) || DirectoryExists(Path)) {
        DeletePath(Path);
        PartialRemoved = true;
    }
}

bool TfrmMain::RestorePathFromLocker(const QString& Path, QString& ErrorText) {
    ErrorText.clear();
    bool PartialRemoved = false;
    if (GeneralPassword.isEmpty()) {
        ErrorText = Translate("General password is not set.");
        return false;
    }
    const QString Locker = LockerPathFor(Path);
    if (!FileExists(Locker)) {
        ErrorText = Translate("Locker file not found: ") + Locker;
        return false;
    }
    bool Skip = false;
    if (!ResolveRestoreConflict(Path, Skip, ErrorText))
        return false;
    if (Skip)
        return true;
    SetHiddenAttributes(Locker, false, false);
    const QString Target = TargetFolderOf(Path);
    ForceDirectories(Target);

    auto HideAgain = [&] { SetHiddenAttributes(Locker, true, chkStrongHide->isChecked()); };
    try {
        const TLockerResult Result = ExtractLocker(
            Locker, Target, GeneralPassword,
            [this](const QString& Item, int64_t Done, int64_t Total) { ReportProgress(Item, Done, Total); },
            [this] { return IsStopRequested(); });
        if (!Result.Success) {
            RemovePartialOutput(Path, PartialRemoved);
            ErrorText = Result.MessageText;
            HideAgain();
            return false;
        }
        if (FStopRequested) {
            RemovePartialOutput(Path, PartialRemoved);
            ErrorText = Translate("Operation cancelled by user.");
            HideAgain();
            return false;
        }
        if (!DeleteFile(Locker))
            throw EKelvarnError(SystemErrorText(errno));
        return true;
    } catch (const EKelvarnError& Error) {
        try {
            RemovePartialOutput(Path, PartialRemoved);
        } catch (const EKelvarnError&) {
        }
        if (FileExists(Locker)) {
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
}

bool TfrmMain::ResolveRestoreConflict(const QString& Path, bool& Skip, QString& ErrorText) {
    Skip = false;
    ErrorText.clear();
    const QString Locker = LockerPathFor(Path);
    if (!FileExists(Locker))
        return true;
    if (!FileExists(Path) && !DirectoryExists(Path))
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
        if (TryDeletePath(Path))
            return true;
        ErrorText = Translate("Failed to remove existing path before decrypting: ") + Path;
        return false;
    case TMsgResult::No:
        SetHiddenAttributes(Locker, false, false);
        if (!DeleteFile(Locker))
            throw EKelvarnError(SystemErrorText(errno));
        Skip = true;
        return true;
    default:
        Skip = true;
        return true;
    }
}
