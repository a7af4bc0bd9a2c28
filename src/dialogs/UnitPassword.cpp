#include "dialogs/UnitPassword.h"

#include "dialogs/DialogSeam.h"
#include "dialogs/PasswordEdit.h"
#include "dialogs/TextRules.h"
#include "translation/translation.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmPassword::TfrmPassword(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmPassword"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    lblPrompt = new QLabel(this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setMinimumWidth(265);
    btnOK = new QPushButton(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter and Escape belong to the password field alone, not to whichever button has the focus.
    btnOK->setAutoDefault(false);
    btnCancel->setAutoDefault(false);

    auto* Layout = new QVBoxLayout(this);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    Layout->setContentsMargins(16, 16, 16, 14);
    Layout->setSpacing(10);
    Layout->addWidget(lblPrompt);
    Layout->addWidget(edtPassword);
    Layout->addSpacing(6);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch(1);
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    Layout->addLayout(Buttons);
    setTabOrder(edtPassword, btnOK);
    setTabOrder(btnOK, btnCancel);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    edtPassword->installEventFilter(this);
    FormCreate();
}

void TfrmPassword::FormCreate() {
    MaskWithStars(edtPassword, true);
    setWindowTitle(Translate("Enter Password"));
    lblPrompt->setText(Translate("Please enter the application password:"));
    btnOK->setText(Translate("OK"));
    btnCancel->setText(Translate("Cancel"));
}

bool TfrmPassword::Execute(const QString& AExpectedPassword) {
    TfrmPassword Dialog;
    Dialog.edtPassword->clear();
    Dialog.edtPassword->setFocus();
    if (Dialog.exec() != QDialog::Accepted)
        return false;
    if (AsciiSameText(Dialog.edtPassword->text(), AExpectedPassword))
        return true;
    ShowMessageBox(Translate("Invalid password."), TMsgKind::Error);
    return false;
}

bool TfrmPassword::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == edtPassword && Event->type() == QEvent::KeyPress)
        return edtPasswordKeyPress(static_cast<QKeyEvent*>(Event));
    return QDialog::eventFilter(Watched, Event);
}

bool TfrmPassword::edtPasswordKeyPress(QKeyEvent* Event) {
    switch (Event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        btnOK->click();
        return true;
    case Qt::Key_Escape:
        btnCancel->click();
        return true;
    default:
        return false;
    }
}

void TfrmPassword::keyPressEvent(QKeyEvent* Event) {
    // Outside the password field Enter and Escape do nothing (QDialog would accept or reject).
    QWidget::keyPressEvent(Event);
}
