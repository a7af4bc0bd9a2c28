#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class THttpClient;

// The update dialog: offers an optional update (Update Now / Skip), demands a mandatory one
// (Update Now / Exit), and downloads and opens the package (Abort while it runs). Tag tells the
// start-up the outcome: 1 goes on, 0 ends the program.
class TfrmNewVersion : public QDialog {
    Q_OBJECT

public:
    explicit TfrmNewVersion(QWidget* Parent = nullptr);
    ~TfrmNewVersion() override;

    int Tag = 0;

    QLabel* VirtualImage1;
    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QPushButton* btUpdateNow;
    QPushButton* btCancel;

    void FormShow();
    void btUpdateNowClick();
    void btCancelClick();
    void FormClose();
    // The download's work handler: raises to end the transfer once Abort was pressed.
    void DownloadWork(qint64 BytesSoFar);

protected:
    void showEvent(QShowEvent* Event) override;
    // Every way of closing ends here: the buttons, the close box, Escape.
    void done(int Result) override;

private:
    // The running download's client; while it is set the dialog cannot close, since the download
    // returns into this object.
    THttpClient* FClient = nullptr;
    QScrollArea* FTextArea;
};
