#pragma once

#include <QComboBox>
#include <QTreeView>

#include <functional>

class QFileSystemModel;
class TShellFilterModel;

// A folder selector and a file list over one QFileSystemModel: the pair a dialog browses the local
// folders with. The list shows the folders of the current folder (for navigation) and the files
// that match its filter, hidden ones included; a hook may veto any item before it is shown. Enter
// opens the current item and goes no further, so a dialog's default button never sees it.
class TShellFileList : public QTreeView {
    Q_OBJECT

public:
    // Called for every item about to be shown, with its full path and kind; CanAdd false hides it.
    using TAddItemHook = std::function<void(const QString& Path, bool IsFolder, bool& CanAdd)>;

    explicit TShellFileList(QWidget* Parent = nullptr);

    // Wildcard patterns for the files shown ("*.kvlocker"), matched without regard to case.
    void SetFileFilter(const QStringList& Patterns);
    void SetAddItemHook(TAddItemHook Hook);

    void SetFolder(const QString& Folder);
    const QString& Folder() const { return FFolder; }
    // What is selected: a count of items and the full path of the selected one.
    int SelectedCount() const;
    QString SelectedPath() const;
    // Selects the item shown under Path; false when it is not (yet) shown.
    bool SelectPath(const QString& Path);
    // The names shown in the current folder, in their order.
    QStringList ShownNames() const;

signals:
    void FolderChanged(const QString& Folder);
    // A file was opened (double click or Enter).
    void FileActivated(const QString& Path);
    // The current folder's content has been read.
    void FolderLoaded();

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void ItemActivated(const QModelIndex& Index);

    QFileSystemModel* FModel;
    TShellFilterModel* FFilter;
    QString FFolder;
};

// The current folder and the folders above it, to go up with; a path typed and confirmed with
// Enter is gone to when it is a folder; Enter goes no further. Follows and steers the list it is
// linked to.
class TShellFolderCombo : public QComboBox {
    Q_OBJECT

public:
    explicit TShellFolderCombo(QWidget* Parent = nullptr);
    void LinkTo(TShellFileList* List);

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void ShowFolder(const QString& Folder);
    void GoTo(const QString& Folder);

    TShellFileList* FList = nullptr;
    bool FUpdating = false;
};
