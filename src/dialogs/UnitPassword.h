#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The enter-password dialog: one attempt to type the application password at start-up.
class TfrmPassword : public QDialog {
    Q_OBJECT

public:
    // True when the user confirmed and the typed text equals AExpectedPassword, A–Z and a–z
    // compared alike, untrimmed. A mismatch shows "Invalid password." first; Cancel, Escape in the
    // field and the close box give false silently.
    static bool Execute(const QString& AExpectedPassword);

    explicit TfrmPassword(QWidget* Parent = nullptr);

    QLabel* lblPrompt;
    QLineEdit* edtPassword;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void FormCreate();
    bool edtPasswordKeyPress(QKeyEvent* Event);
};
