// Change Password: a new application password, and every locker in the list re-made under it.
#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"
#include "mainwindow/PathRules.h"
#include "platform/PlatformFiles.h"
#include "mainwindow/UnitMain.h"
#include "translation/translation.h"
#include "dialogs/uPasswordSet.h"
#include "settings/uSettings.h"

#include <QProgressBar>
#include <QTreeWidget>

#include <vector>

void TfrmMain::btnChangePasswordClick() {
    const TWorkScope Working(*this);
    const QString OldPassword = GeneralPassword;
    QString NewPassword = OldPassword;
    if (frmPasswordSet == nullptr)
        frmPasswordSet = new TfrmPasswordSet(this);
    frmPasswordSet->ChangePassword(NewPassword);
    if (NewPassword.isEmpty())
        return;
    if (NewPassword == OldPassword) {
        SaveFormState();
        return;
    }

    const int Rows = ListViewPaths->topLevelItemCount();
    std::vector<bool> HasLocker(static_cast<size_t>(Rows));
    int N = 0;
    for (int I = 0; I < Rows; ++I) {
        HasLocker[static_cast<size_t>(I)] = Fs::FileExists(LockerPathFor(ListViewPaths->topLevelItem(I)->text(0)));
        N += HasLocker[static_cast<size_t>(I)] ? 1 : 0;
    }
    if (N == 0) {
        GeneralPassword = NewPassword;
        SaveFormState();
        return;
    }

    BeginBusy(2 * N);
    struct TEndBusy {
        TfrmMain* Window;
        ~TEndBusy() { Window->EndBusy(); }
    } EndBusyOnExit{this};

    int Counter = 0;
    bool InPhase2 = false;
    // The rows phase 1 unpacked, and the first whose locker it had to leave as it was.
    std::vector<int> Restored;
    QString StoodInTheWay;
    // One phase over the flagged rows; false when Stop ended it.
    auto RunPhase = [&](bool Restore) {
        for (int I = 0; I < Rows; ++I) {
            if (FStopRequested)
                return false;
            if (!HasLocker[static_cast<size_t>(I)])
                continue;
            FCurrentItemIndex = ++Counter;
            UpdateProgressText();
            ProgressBar1->setValue(0);
            const QString Path = ListViewPaths->topLevelItem(I)->text(0);
            QString ErrorText;
            if (Restore) {
                const TWorkflowResult Result = RestoreRow(Path);
                if (!ShowWorkResult(Result, ErrorText))
                    throw EKelvarnError(Translate("Error decrypting: ") + Path + QStringLiteral("\r\n") + ErrorText);
                // Skipped at the conflict prompt: its locker is still under the old password, and
                // phase 2 would leave it there while the new one is saved.
                if (Result.Skipped && Fs::FileExists(LockerPathFor(Path))) {
                    StoodInTheWay = Path;
                    return false;
                }
                if (!Result.Skipped)
                    Restored.push_back(I);
            } else if (!HidePathIntoLocker(Path, ErrorText)) {
                throw EKelvarnError(Translate("Error encrypting: ") + Path + QStringLiteral("\r\n") + ErrorText);
            }
        }
        return !FStopRequested;
    };

    try {
        if (!RunPhase(true)) {
            if (StoodInTheWay.isEmpty())
                return;
            // Back as it was: what phase 1 unpacked is hidden again under the old password, which stays.
            QStringList Failed;
            for (const int I : Restored) {
                const QString Path = ListViewPaths->topLevelItem(I)->text(0);
                QString ErrorText;
                if (!HidePathIntoLocker(Path, ErrorText))
                    Failed.append(Path + QStringLiteral("\r\n") + ErrorText);
            }
            RefreshStatuses();
            SaveFormState();
            ShowMessageBox(
                Translate("The password was not changed, because this item was not unhidden:") +
                    QStringLiteral("\r\n") + StoodInTheWay +
                    (Failed.isEmpty() ? QString() : QStringLiteral("\r\n") + Failed.join(QStringLiteral("\r\n"))),
                TMsgKind::Warning);
            return;
        }
        GeneralPassword = NewPassword;
        InPhase2 = true;
        if (!RunPhase(false)) {
            // Every locker in the list is now either under the new password or unpacked: the old
            // password would open none of them.
            RefreshStatuses();
            SaveFormState();
            return;
        }
        RefreshStatuses();
        SaveFormState();
    } catch (const std::exception& Error) {
        if (!InPhase2)
            GeneralPassword = OldPassword;
        RefreshStatuses();
        SaveFormState();
        ShowMessageBox(Translate("Password change failed.") + QStringLiteral("\r\n") + ErrorTextOf(Error),
                       TMsgKind::Error);
    }
}

void TfrmMain::FormActivate() {
    if (FInFormActivate || FDestroying || !isVisible())
        return;
    FInFormActivate = true;
    if (GeneralPassword.isEmpty())
        btnChangePasswordClick();
    FInFormActivate = false;
    if (GeneralPassword.isEmpty())
        close();
}
