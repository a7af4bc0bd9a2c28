#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

// Every message box, input box and file chooser of the program goes through here, so that tests
// can answer them (queue the next button or text) and read back what was shown.

enum class TMsgKind { Information, Warning, Error };
enum class TMsgButtons { OK, OKCancel, YesNoCancel };
enum class TMsgResult { OK, Cancel, Yes, No };

// A modal box titled with the application title; button texts pass through Translate.
TMsgResult ShowMessageBox(const QString& Text, TMsgKind Kind, TMsgButtons Buttons = TMsgButtons::OK);
// The box ShowMessageBox shows, not yet shown; Results maps its buttons to answers.
class QMessageBox;
class QAbstractButton;
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& Text, TMsgKind Kind, TMsgButtons Buttons,
                                            QList<QPair<QAbstractButton*, TMsgResult>>* Results = nullptr);
// A one-line input box; true with Value set when confirmed. Masked shows "*" for each character.
bool InputBox(const QString& Caption, const QString& Prompt, QString& Value, bool Masked = false);
// An existing folder, or an empty text when the user cancelled.
QString ChooseFolder(const QString& Title);
// One existing file, or an empty text when the user cancelled. Filter as QFileDialog takes it.
QString ChooseFile(const QString& Title, const QString& Filter = QString());

// Hands an address or a file to the desktop's default handler (the browser, the package installer).
// False when no handler took it.
bool OpenWithDesktop(const QUrl& Url);

struct TShownDialog {
    enum TWhat { Message, Input, Folder, File };
    TWhat What = Message;
    QString Text; // the message, the input prompt or the chooser's title
    TMsgKind Kind = TMsgKind::Information;
    TMsgButtons Buttons = TMsgButtons::OK;
    QStringList ButtonTexts;
};

// Test seam. While installed nothing is shown: a message box takes the next queued result (or,
// when none is queued, OK for an OK box and Cancel otherwise); an input box or chooser takes the
// next queued text (none queued, or a null one, means Cancel; an empty one is an input box
// confirmed empty, and a chooser cancelled). Nothing is handed to the desktop either:
// OpenWithDesktop records the address in Opened() and answers true.
namespace DialogSeam {
void Install();
void Remove();
bool Installed();
void QueueResult(TMsgResult Result);
void QueueText(const QString& Text);
const QList<TShownDialog>& Shown();
void ClearShown();
const QList<QUrl>& Opened();
} // namespace DialogSeam
