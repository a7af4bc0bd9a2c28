// The path list: adding, removing, statuses, saving, and which commands are offered.
#include "mainwindow/ButtonRules.h"
#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"
#include "mainwindow/PathRules.h"
#include "platform/PlatformFiles.h"
#include "dialogs/TextRules.h"
#include "mainwindow/UnitMain.h"
#include "translation/translation.h"
#include "settings/uSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>

namespace {

constexpr int PathColumn = 0;
constexpr int StatusColumn = 1;

} // namespace

QTreeWidgetItem* TfrmMain::SelectedRow() const {
    const QList<QTreeWidgetItem*> Selected = ListViewPaths->selectedItems();
    return Selected.isEmpty() ? nullptr : Selected.first();
}

void TfrmMain::AddPath(const QString& Path) {
    const QString Full = ListedPathFor(Path);
    const QString Locker = LockerPathFor(Full);
    if (!Fs::FileExists(Full) && !Fs::DirectoryExists(Full) && !Fs::FileExists(Locker)) {
        // Something is there, but not what a locker can hold: say what, not that it is missing.
        const QString Reason = !Fs::PathExists(Full) ? Translate("Path does not exist:")
                               : QFileInfo(Full).isSymLink()
                                   ? Translate("A symbolic link cannot be put in a locker.")
                                   : Translate("A socket, pipe or device cannot be put in a locker.");
        ShowMessageBox(Reason + QStringLiteral("\r\n") + Full, TMsgKind::Error);
        return;
    }
    for (int I = 0; I < ListViewPaths->topLevelItemCount(); ++I)
        if (AsciiSameText(ListViewPaths->topLevelItem(I)->text(PathColumn), Full))
            return;
    auto* Item = new QTreeWidgetItem(ListViewPaths, QStringList{Full, QString()});
    Item->setToolTip(PathColumn, Full);
    UpdateItemStatus(Item);
}

void TfrmMain::UpdateItemStatus(QTreeWidgetItem* Item) {
    const QString Path = Item->text(PathColumn);
    const bool Hidden = IsPathHidden(Path);
    Item->setText(StatusColumn, Hidden ? Translate("Encrypted & Hidden") : Translate("Visible"));
    // The two texts are what the batches go by; a state they cannot tell is marked beside them.
    const bool ItemThere = Fs::PathExists(Path);
    QString Mark;
    if (Hidden && ItemThere)
        Mark = Translate("The original is still here: it is not hidden.");
    else if (!Hidden && !ItemThere)
        Mark = Translate("Neither the item nor its locker exists.");
    Item->setData(StatusColumn, Qt::UserRole,
                  Mark.isEmpty() ? QString() : (ItemThere ? QStringLiteral("both") : QStringLiteral("neither")));
    Item->setToolTip(StatusColumn, Mark);
    Item->setIcon(StatusColumn, Mark.isEmpty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
}

void TfrmMain::RefreshStatuses() {
    for (int I = 0; I < ListViewPaths->topLevelItemCount(); ++I)
        UpdateItemStatus(ListViewPaths->topLevelItem(I));
}

void TfrmMain::SyncPathList() {
    PathList.clear();
    for (int I = 0; I < ListViewPaths->topLevelItemCount(); ++I)
        PathList.append(ListViewPaths->topLevelItem(I)->text(PathColumn));
}

void TfrmMain::SaveFormState() {
    if (FDestroying)
        return;
    StrongHide = chkStrongHide->isChecked();
    SyncPathList();
    SaveSettings();
}

void TfrmMain::UpdateButtons() {
    const TCommandStates States = CommandStatesFor(FBusy, SelectedRow() != nullptr, ListViewPaths->topLevelItemCount());
    btnRemove->setEnabled(States.Remove);
    Remove1->setEnabled(States.Remove);
    btnEncryptAndHideSelected->setEnabled(States.HideSelected);
    btnDecryptAndUnhideSelected->setEnabled(States.HideSelected);
    btnEncryptAndHideAll->setEnabled(States.HideAll);
    btnDecryptAndUnhideAll->setEnabled(States.HideAll);
    for (QWidget* Control : {static_cast<QWidget*>(btnAddFile), static_cast<QWidget*>(btnAddFolder),
                             static_cast<QWidget*>(btnImportLocker), static_cast<QWidget*>(btnChangePassword)})
        Control->setEnabled(States.AddAndTools);
    btnStop->setEnabled(States.Stop);
    btnAboutProgram->setEnabled(States.About);
    EncryptHideSelected1->setEnabled(States.HideSelected);
    DencryptUnhideSelected1->setEnabled(States.HideSelected);
    EncryptHideAll1->setEnabled(States.HideAll);
    DencryptUnhideAll1->setEnabled(States.HideAll);
    for (QAction* Item : {AddFolder1, AddFile1, ImportLocker1, ChangePassword1})
        Item->setEnabled(States.AddAndTools);
}

void TfrmMain::ListViewPathsSelectItem() {
    UpdateButtons();
}

void TfrmMain::btnAddFolderClick() {
    const QString Folder = ChooseFolder(Translate("Select folder to add"));
    if (!Folder.isEmpty()) {
        AddPath(Folder);
        SaveFormState();
    }
    UpdateButtons();
}

void TfrmMain::btnAddFileClick() {
    const QString File = ChooseFile(Translate("Select file to add"));
    if (!File.isEmpty()) {
        AddPath(File);
        SaveFormState();
    }
    UpdateButtons();
}

void TfrmMain::AddDroppedFiles(const QStringList& Paths) {
    if (FBusy || Paths.isEmpty())
        return;
    {
        // One repaint for the whole drop; the bracket closes on every way out.
        struct TUpdateBracket {
            QWidget* W;
            ~TUpdateBracket() { W->setUpdatesEnabled(true); }
        } Bracket{ListViewPaths};
        ListViewPaths->setUpdatesEnabled(false);
        for (const QString& Path : Paths)
            if (!Path.isEmpty())
                AddPath(Path);
    }
    RefreshStatuses();
    SaveFormState();
    UpdateButtons();
}

void TfrmMain::btnRemoveClick() {
    const TWorkScope Working(*this);
    QTreeWidgetItem* Row = SelectedRow();
    if (Row == nullptr) {
        RefreshStatuses();
        UpdateButtons();
        return;
    }
    if (ShowMessageBox(Translate("Selected paths will be decrypted and unhidden, then items will be removed from the "
                                 "list. Continue?"),
                       TMsgKind::Warning, TMsgButtons::OKCancel) != TMsgResult::OK)
        return;
    const QString Path = Row->text(PathColumn);
    try {
        UpdateItemStatus(Row);
        if (IsPathHidden(Path)) {
            QString ErrorText;
            if (!RestorePathFromLocker(Path, ErrorText))
                throw EKelvarnError(ErrorText);
        }
        delete Row;
        SaveFormState();
    } catch (const std::exception& Error) {
        ShowMessageBox(Translate("Error removing: ") + Path + QStringLiteral("\r\n") + ErrorTextOf(Error),
                       TMsgKind::Error);
    }
    RefreshStatuses();
    UpdateButtons();
}
