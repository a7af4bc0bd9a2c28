#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TShellFileList;
class TShellFolderCombo;

// The chooser of Import Locker: a folder selector over a list of the folder's subfolders and its
// lockers (hidden ones too, as hidden lockers are what it is for). One instance serves every
// import of a run, so the folder shown carries over from one use to the next.
class TfrmOpenLocker : public QDialog {
    Q_OBJECT

public:
    explicit TfrmOpenLocker(QWidget* Parent = nullptr);
    ~TfrmOpenLocker() override;

    int Tag = 0; // 1 after OK or a locker opened in the list, 0 otherwise

    QLabel* Label1;
    TShellFolderCombo* JamShellCombo1;
    TShellFileList* JamShellList1;
    QFrame* Panel1;
    QPushButton* Button2; // OK
    QPushButton* Button1; // Cancel

    // Archives that a file manager may present as folders stay out of the list.
    static void JamShellList1AddItem(const QString& Path, bool IsFolder, bool& CanAdd);

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void FormShow();
    void Button2Click();
    void Button1Click();
};

// The one instance: made by the start-up beside the main window, or by the first import.
extern TfrmOpenLocker* frmOpenLocker;
