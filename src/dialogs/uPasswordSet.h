#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The set-password dialog: the new password typed twice. One instance lives for the whole run, so
// "Show password" and the fields' masking carry over from one showing to the next.
class TfrmPasswordSet : public QDialog {
    Q_OBJECT

public:
    explicit TfrmPasswordSet(QWidget* Parent = nullptr);
    // The global below must never outlive the dialog it names (its parent window may take it along).
    ~TfrmPasswordSet() override;

    // Preloads both fields with strNewPassword; after a successful OK replaces it with the first
    // field trimmed (never empty, equal to the confirmation), otherwise leaves it unchanged.
    void ChangePassword(QString& strNewPassword);

    int Tag = 0; // 1 after a successful OK, 0 otherwise

    QLabel* Label3;
    QLabel* Label4; // the password cannot be recovered
    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QLineEdit* Edit2;
    QCheckBox* CheckBox1;
    QPushButton* Button2; // OK
    QPushButton* Button1; // Cancel

protected:
    void showEvent(QShowEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FormShow();
    void Button2Click();
    void Button1Click();
    void CheckBox1Click();
    bool FormKeyPress(QKeyEvent* Event);
};

// The one instance, created by the start-up after the main window; owned by the application.
extern TfrmPasswordSet* frmPasswordSet;
