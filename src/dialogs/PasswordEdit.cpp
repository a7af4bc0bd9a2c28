#include "PasswordEdit.h"

#include <QLineEdit>

void MaskWithStars(QLineEdit* Edit, bool Masked) {
    // The style's own mask character differs between styles; the dialogs promise "*".
    Edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Edit->setEchoMode(Masked ? QLineEdit::Password : QLineEdit::Normal);
}

bool IsMasked(const QLineEdit* Edit) {
    return Edit->echoMode() == QLineEdit::Password;
}
