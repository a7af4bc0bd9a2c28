#include "dialogs/PasswordEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>

namespace {

// The application's style in all but the mask character: styles differ there (Fusion draws a
// dot), and the dialogs promise "*". A style sheet rule alone does not reach the field on every
// platform, a style hint does.
class TStarMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }
};

QStyle* StarMaskStyle() {
    static QPointer<TStarMaskStyle> Style;
    if (!Style) {
        Style = new TStarMaskStyle;
        Style->setParent(qApp);
    }
    return Style;
}

} // namespace

void MaskWithStars(QLineEdit* Edit, bool Masked) {
    if (Edit->style() != StarMaskStyle())
        Edit->setStyle(StarMaskStyle());
    Edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Edit->setEchoMode(Masked ? QLineEdit::Password : QLineEdit::Normal);
}

bool IsMasked(const QLineEdit* Edit) {
    return Edit->echoMode() == QLineEdit::Password;
}
