#pragma once

#include "workflow/uWorkflow.h"

#include <QMainWindow>

#include <cstdint>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The main window: the list of protected paths with their states, the toolbar, the menus and the
// bottom strip with Change Password, progress and Stop. The list's rules live in PathRules, the
// enabling rule in ButtonRules and the hide and restore transaction in the workflow below; this
// class wires them to the controls.
class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* Parent = nullptr);
    ~TfrmMain() override;

    // The path list.
    void AddPath(const QString& Path);
    void UpdateItemStatus(QTreeWidgetItem* Item);
    void RefreshStatuses();
    void SyncPathList();
    void SaveFormState();
    void UpdateButtons();
    void AddDroppedFiles(const QStringList& Paths);

    // Texts of the current language on every caption, hint and column title.
    void ApplyCaptions();
    void BuildLanguageMenu();

    // One path into its locker and back (ErrorText says why on false).
    bool HidePathIntoLocker(const QString& Path, QString& ErrorText);
    bool RestorePathFromLocker(const QString& Path, QString& ErrorText);
    // The same with the whole result, for a caller that must know whether the item was skipped.
    TWorkflowResult RestoreRow(const QString& Path);
    // Asks what to do when Path and its locker both exist.
    TConflictChoice AskRestoreConflict(const QString& Path);

    // Busy state and progress of the batch commands.
    void BeginBusy(int N);
    void EndBusy();
    void UpdateProgressText();
    void ReportProgress(const QString& ItemPath, int64_t Done, int64_t Total);
    bool IsStopRequested() const;

    // Commands.
    void btnEncryptAndHideSelectedClick();
    void btnEncryptAndHideAllClick();
    void btnDecryptAndUnhideSelectedClick();
    void btnDecryptAndUnhideAllClick();
    void btnStopClick();
    void btnAddFolderClick();
    void btnAddFileClick();
    void btnRemoveClick();
    void btnChangePasswordClick();
    void btnImportLockerClick();
    void btnAboutProgramClick();
    void utorial1Click();
    void ContactUs1Click();
    void VisitWebsite1Click();
    void Exit1Click();
    void LanguageMenuClick(QAction* Item);
    void FormActivate();

    // Busy state of the batch commands.
    bool FBusy = false;
    bool FStopRequested = false;
    int FCurrentItemIndex = 0;
    int FTotalItems = 0;

    // Controls, named as the window's parts.
    QFrame* Panel1;
    QToolButton* btnAddFolder;
    QToolButton* btnAddFile;
    QToolButton* btnRemove;
    QToolButton* btnEncryptAndHideSelected;
    QToolButton* btnDecryptAndUnhideSelected;
    QToolButton* btnEncryptAndHideAll;
    QToolButton* btnDecryptAndUnhideAll;
    QToolButton* btnImportLocker;
    QToolButton* btnAboutProgram;
    QTreeWidget* ListViewPaths;
    QFrame* Panel2;
    QPushButton* btnChangePassword;
    QProgressBar* ProgressBar1;
    QLabel* lblStatus;
    QPushButton* btnStop;
    QCheckBox* chkStrongHide;

    QMenu* File1;
    QAction* AddFolder1;
    QAction* AddFile1;
    QAction* Remove1;
    QAction* ImportLocker1;
    QAction* Exit1;
    QMenu* Edit1;
    QAction* EncryptHideSelected1;
    QAction* DencryptUnhideSelected1;
    QAction* EncryptHideAll1;
    QAction* DencryptUnhideAll1;
    QMenu* ools1;
    QAction* ChangePassword1;
    QMenu* mmLanguage;
    QMenu* Help1;
    QAction* utorial1;
    QAction* ContactUs1;
    QAction* VisitWebsite1;
    QAction* About1;

signals:
    // The window has closed: the start-up's event loop ends on it.
    void Closed();

protected:
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    void BuildControls();
    void BuildMenus();
    void FormCreate();
    void FormDestroy();
    void ListViewPathsSelectItem();
    QTreeWidgetItem* SelectedRow() const;
    void RunBatch(const QList<QTreeWidgetItem*>& Rows, bool Hide);
    // Progress and Stop of this window, for the transactions.
    TWorkflowCallbacks WorkCallbacks();
    // ErrorText from a result; a warning beside success is shown now. True when done.
    bool ShowWorkResult(const TWorkflowResult& Result, QString& ErrorText);

    bool FDestroying = false;
    bool FInFormActivate = false;
    bool FCloseWhenIdle = false;
    // Handlers under way that may handle events (progress, a modal box): the window must outlive
    // them, so a close that comes meanwhile waits for the last of them.
    int FWorkDepth = 0;

public:
    class TWorkScope {
    public:
        explicit TWorkScope(TfrmMain& Window) : FWindow(Window) { ++FWindow.FWorkDepth; }
        ~TWorkScope();
        TWorkScope(const TWorkScope&) = delete;
        TWorkScope& operator=(const TWorkScope&) = delete;

    private:
        TfrmMain& FWindow;
    };
};

// The main window, once the start-up has made it.
extern TfrmMain* frmMain;
