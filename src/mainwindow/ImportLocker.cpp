// A locker whose path was lost from the list, unpacked beside itself and listed again.
#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"
#include "mainwindow/OpenLockerFileDialog.h"
#include "shellbrowser/ShellBrowser.h"
#include "mainwindow/UnitMain.h"
#include "translation/translation.h"
#include "locker/uLocker.h"
#include "workflow/uWorkflow.h"

#include <QApplication>

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
    const TWorkScope Working(*this);
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
    TWorkflowResult Result;
    {
        TWaitCursor Wait;
        Result = ImportLocker(Locker, Password);
    }
    if (!Result.ItemPath.isEmpty()) {
        AddPath(Result.ItemPath);
        RefreshStatuses();
        SaveFormState();
        UpdateButtons();
    }
    if (!Result.Ok())
        ShowMessageBox(Result.Text, TMsgKind::Information);
}
