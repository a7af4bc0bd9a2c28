#include "dialogs/DialogSeam.h"
#include "dialogs/TextRules.h"

#include "platform/PlatformEnvironment.h"
#include "translation/translation.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>

namespace {

// The user-interface thread is the only caller.
bool GInstalled = false;
QQueue<TMsgResult> GResults;
QQueue<QString> GTexts;
QList<TShownDialog> GShown;
QList<QUrl> GOpened;

struct TButtonInfo {
    TMsgResult Result;
    QString Text;
    QMessageBox::ButtonRole Role;
};

QList<TButtonInfo> ButtonsOf(TMsgButtons Buttons) {
    switch (Buttons) {
    case TMsgButtons::OK:
        return {{TMsgResult::OK, Translate("OK"), QMessageBox::AcceptRole}};
    case TMsgButtons::OKCancel:
        return {{TMsgResult::OK, Translate("OK"), QMessageBox::AcceptRole},
                {TMsgResult::Cancel, Translate("Cancel"), QMessageBox::RejectRole}};
    case TMsgButtons::YesNoCancel:
        return {{TMsgResult::Yes, Translate("Yes"), QMessageBox::YesRole},
                {TMsgResult::No, Translate("No"), QMessageBox::NoRole},
                {TMsgResult::Cancel, Translate("Cancel"), QMessageBox::RejectRole}};
    }
    return {};
}

// What the seam answered in place of a window, for the tests to read back.
void Record(TShownDialog::TWhat What, const QString& Text) {
    TShownDialog Shown;
    Shown.What = What;
    Shown.Text = Text;
    GShown.append(Shown);
}

QString TakeText() {
    return GTexts.isEmpty() ? QString() : GTexts.dequeue();
}

QWidget* DialogParent() {
    QWidget* Modal = QApplication::activeModalWidget();
    return Modal != nullptr ? Modal : QApplication::activeWindow();
}

} // namespace

TMsgResult ShowMessageBox(const QString& Message, TMsgKind Kind, TMsgButtons Buttons) {
    // Paths inside a right-to-left sentence would be reordered around their separators.
    const QString Text = IsolatePaths(Message, QGuiApplication::layoutDirection());
    const QList<TButtonInfo> Infos = ButtonsOf(Buttons);
    if (GInstalled) {
        TShownDialog Shown;
        Shown.What = TShownDialog::Message;
        Shown.Text = Text;
        Shown.Kind = Kind;
        Shown.Buttons = Buttons;
        for (const TButtonInfo& Button : Infos)
            Shown.ButtonTexts.append(Button.Text);
        GShown.append(Shown);
        if (!GResults.isEmpty())
            return GResults.dequeue();
        return Buttons == TMsgButtons::OK ? TMsgResult::OK : TMsgResult::Cancel;
    }

    QList<QPair<QAbstractButton*, TMsgResult>> Map;
    const std::unique_ptr<QMessageBox> Box = MakeMessageBox(Text, Kind, Buttons, &Map);
    Box->exec();
    for (const auto& [Button, Result] : Map)
        if (Box->clickedButton() == Button)
            return Result;
    return Buttons == TMsgButtons::OK ? TMsgResult::OK : TMsgResult::Cancel;
}

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& Text, TMsgKind Kind, TMsgButtons Buttons,
                                            QList<QPair<QAbstractButton*, TMsgResult>>* Results) {
    auto Box = std::make_unique<QMessageBox>(DialogParent());
    Box->setObjectName(QStringLiteral("MessageBox"));
    Box->setWindowTitle(ApplicationTitle());
    Box->setText(Text);
    // A line that starts in Latin letters (a name, an address) would otherwise keep to the left
    // of a right-to-left box while its neighbours keep to the right.
    if (Box->layoutDirection() == Qt::RightToLeft)
        if (auto* Label = Box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            Label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    Box->setIcon(Kind == TMsgKind::Error     ? QMessageBox::Critical
                 : Kind == TMsgKind::Warning ? QMessageBox::Warning
                                             : QMessageBox::Information);
    QList<QPair<QAbstractButton*, TMsgResult>> Map;
    for (const TButtonInfo& Button : ButtonsOf(Buttons))
        Map.append({Box->addButton(Button.Text, Button.Role), Button.Result});
    Box->setDefaultButton(static_cast<QPushButton*>(Map.first().first));
    Box->setEscapeButton(Map.last().first);
    if (Results != nullptr)
        *Results = Map;
    return Box;
}

bool InputBox(const QString& Caption, const QString& Prompt, QString& Value, bool Masked) {
    if (GInstalled) {
        Record(TShownDialog::Input, Prompt);
        const QString Answer = TakeText();
        if (Answer.isNull())
            return false;
        Value = Answer;
        return true;
    }
    QInputDialog Dialog(DialogParent());
    Dialog.setWindowTitle(Caption);
    Dialog.setLabelText(Prompt);
    Dialog.setTextValue(Value);
    Dialog.setTextEchoMode(Masked ? QLineEdit::Password : QLineEdit::Normal);
    Dialog.setOkButtonText(Translate("OK"));
    Dialog.setCancelButtonText(Translate("Cancel"));
    if (Dialog.exec() != QDialog::Accepted)
        return false;
    Value = Dialog.textValue();
    return true;
}

QString ChooseFolder(const QString& Title) {
    if (GInstalled) {
        Record(TShownDialog::Folder, Title);
        return TakeText();
    }
    return QFileDialog::getExistingDirectory(DialogParent(), Title, QString(),
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

QString ChooseFile(const QString& Title, const QString& Filter) {
    if (GInstalled) {
        Record(TShownDialog::File, Title);
        return TakeText();
    }
    return QFileDialog::getOpenFileName(DialogParent(), Title, QString(), Filter);
}

bool OpenWithDesktop(const QUrl& Url) {
    if (GInstalled) {
        GOpened.append(Url);
        return true;
    }
    return QDesktopServices::openUrl(Url);
}

namespace DialogSeam {

void Install() {
    GInstalled = true;
    GResults.clear();
    GTexts.clear();
    GShown.clear();
    GOpened.clear();
}

void Remove() {
    GInstalled = false;
    GResults.clear();
    GTexts.clear();
}

bool Installed() {
    return GInstalled;
}

void QueueResult(TMsgResult Result) {
    GResults.enqueue(Result);
}

void QueueText(const QString& Text) {
    GTexts.enqueue(Text);
}

const QList<TShownDialog>& Shown() {
    return GShown;
}

void ClearShown() {
    GShown.clear();
}

const QList<QUrl>& Opened() {
    return GOpened;
}

} // namespace DialogSeam
