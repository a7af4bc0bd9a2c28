// A locker whose path was lost from the list, unpacked beside itself and listed again.
#include "DialogSeam.h"
#include "KelvarnError.h"
#include "OpenLockerFileDialog.h"
#include "PathFileOps.h"
#include "PlatformFiles.h"
#include "ShellBrowser.h"
#include "UnitMain.h"
#include "translation.h"
#include "uLocker.h"

#include <QApplication>

#include <cerrno>

namespace {

// The wait cursor for as long as the unpacking blocks the window.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

} // namespace

void TfrmMain::btnImportLockerClick() {
    if (!frmOpenLocker)
        frmOpenLocker = new TfrmOpenLocker(this);
    frmOpenLocker->exec();
    if (frmOpenLocker->Tag == 0 || frmOpenLocker->JamShellList1->SelectedCount() < 1)
        return;
    const QString Locker = frmOpenLocker->JamShellList1->SelectedPath();
    if (Locker.isEmpty())
        return;
    if (!IsLockerFileName(Locker)) {
        ShowMessageBox(Translate("Please select a valid .kvlocker file."), TMsgKind::Information);
        return;
    }
    QString Password;
    if (!InputBox(Translate("Locker Password"), Translate("Enter the password for this locker file:"), Password))
        return;
    if (Password.isEmpty()) {
        ShowMessageBox(Translate("Password is required."), TMsgKind::Information);
        return;
    }
    const QString Target = Locker.left(Locker.size() - 9);
    const qsizetype Slash = Target.lastIndexOf(QLatin1Char('/'));
    const QString Folder = Slash <= 0 ? QStringLiteral("/") : Target.left(Slash);

    // Unpacked out of sight first; only a whole, authentic item is moved into place, and never over
    // anything already there.
    TLockerStaging Staging;
    QString Restored;
    {
        TWaitCursor Wait;
        const TLockerResult Result = Staging.Extract(Locker, Folder, Password);
        if (!Result.Success) {
            ShowMessageBox(Result.MessageText.isEmpty() ? Translate("Failed to import locker file.")
                                                        : Result.MessageText,
                           TMsgKind::Information);
            return;
        }
        // The item comes back under the name it was packed with, which a renamed locker no longer shows.
        Restored = (Folder == QLatin1String("/") ? QString() : Folder) + QLatin1Char('/') + Staging.RootName();
        if (Fs::PathExists(Restored)) {
            Staging.Discard();
            ShowMessageBox(Translate("Nothing was imported, because this item already exists beside the locker file:") +
                               QStringLiteral("\r\n") + Restored,
                           TMsgKind::Information);
            return;
        }
        Staging.MoveIntoPlace();
    }
    try {
        SetHiddenAttributes(Locker, false, false);
    } catch (const EKelvarnError&) {
        // Only a line of the folder's hidden list may stay behind; the deletion below decides.
    }
    if (!Fs::DeleteFile(Locker))
        throw EKelvarnError(SystemErrorText(errno));
    AddPath(Restored);
    RefreshStatuses();
    SaveFormState();
    UpdateButtons();
}
