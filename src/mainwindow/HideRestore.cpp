// One listed path into its locker, and back: the transaction lives below the window, which shows
// its results.
#include "dialogs/DialogSeam.h"
#include "mainwindow/UnitMain.h"
#include "translation/translation.h"
#include "settings/uSettings.h"
#include "workflow/uWorkflow.h"

#include <QCheckBox>

TWorkflowCallbacks TfrmMain::WorkCallbacks() {
    return {[this](const QString& Item, int64_t Done, int64_t Total) { ReportProgress(Item, Done, Total); },
            [this] { return IsStopRequested(); }};
}

bool TfrmMain::ShowWorkResult(const TWorkflowResult& Result, QString& ErrorText) {
    // A stop the engine noticed and one pressed after it ended read the same.
    ErrorText = Result.Kind == TOutcome::Cancelled ? Translate("Operation cancelled by user.") : Result.Text;
    if (!Result.Warning.isEmpty())
        ShowMessageBox(Result.Warning, TMsgKind::Warning);
    return Result.Ok();
}

bool TfrmMain::HidePathIntoLocker(const QString& Path, QString& ErrorText) {
    ErrorText.clear();
    return ShowWorkResult(HideItem(Path, GeneralPassword, chkStrongHide->isChecked(), WorkCallbacks()), ErrorText);
}

bool TfrmMain::RestorePathFromLocker(const QString& Path, QString& ErrorText) {
    ErrorText.clear();
    return ShowWorkResult(RestoreRow(Path), ErrorText);
}

TWorkflowResult TfrmMain::RestoreRow(const QString& Path) {
    return RestoreItem(
        Path, GeneralPassword, chkStrongHide->isChecked(),
        [this](const QString& Item) { return AskRestoreConflict(Item); }, WorkCallbacks());
}

TConflictChoice TfrmMain::AskRestoreConflict(const QString& Path) {
    const QString CrLf = QStringLiteral("\r\n");
    // The last line stays English whatever the language.
    const QString Text = Translate("Conflict detected for:") + CrLf + Path + CrLf + CrLf +
                         Translate("Both the real path and the locker file exist.") + CrLf +
                         Translate("Yes - replace the existing path with the decrypted locker item.") + CrLf +
                         Translate("No - remove the locker and keep the existing path.") + CrLf +
                         QStringLiteral("Cancel - skip this item.");
    switch (ShowMessageBox(Text, TMsgKind::Warning, TMsgButtons::YesNoCancel)) {
    case TMsgResult::Yes:
        return TConflictChoice::Replace;
    case TMsgResult::No:
        return TConflictChoice::KeepItem;
    default:
        return TConflictChoice::Skip;
    }
}
