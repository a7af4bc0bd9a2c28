#include "GuiTestSupport.h"
#include "dialogs/TextRules.h"
#include "dialogs/UnitPassword.h"
#include "dialogs/uPasswordSet.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

enum class TLeave { OkButton, EnterKey, EscapeKey, CancelButton, CloseBox };

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    // In a right-to-left layout every line of a box keeps to the right, a Latin one too.
    void rightToLeftBoxAlignsEveryLineRight() {
        TGuiFixture Fixture;
        QApplication::setLayoutDirection(Qt::RightToLeft);
        const std::unique_ptr<QMessageBox> Box =
            MakeMessageBox(QStringLiteral("NVL Kelvarn\r\n\u0627\u0644\u0625\u0635\u062F\u0627\u0631: 2.3"),
                           TMsgKind::Information, TMsgButtons::OK);
        const auto* Label = Box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(Label);
        QCOMPARE(Label->alignment() & (Qt::AlignHorizontal_Mask | Qt::AlignAbsolute),
                 Qt::AlignRight | Qt::AlignAbsolute);
    }

    void textRules_data() {
        QTest::addColumn<QString>("A");
        QTest::addColumn<QString>("B");
        QTest::addColumn<bool>("Same");
        QTest::newRow("ascii case") << "Secret-Pass9"
                                    << "sECRET-pASS9" << true;
        QTest::newRow("accented case differs") << "café"
                                               << "CAFÉ" << false;
        QTest::newRow("german sharp s") << "straße"
                                        << "STRASSE" << false;
        QTest::newRow("length") << "abc"
                                << "abc " << false;
        QTest::newRow("empty") << ""
                               << "" << true;
    }
    void textRules() {
        QFETCH(QString, A);
        QFETCH(QString, B);
        QFETCH(bool, Same);
        QCOMPARE(AsciiSameText(A, B), Same);
        QCOMPARE(AsciiSameText(B, A), Same);
    }

    // In a right-to-left message each path is isolated as left-to-right text; otherwise nothing changes.
    void pathsAreIsolated_data() {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<int>("Direction");
        QTest::addColumn<QString>("Expected");
        const QString L(QChar(0x2066)), P(QChar(0x2069));
        QTest::newRow("ltr unchanged") << "Error hiding: /data/big.bin\r\nreason" << int(Qt::LeftToRight)
                                       << "Error hiding: /data/big.bin\r\nreason";
        QTest::newRow("path after text") << "x: /data/big.bin\r\nreason" << int(Qt::RightToLeft)
                                         << "x: " + L + "/data/big.bin" + P + "\r\nreason";
        QTest::newRow("path alone, with spaces")
            << "a\r\n/d a t a/f" << int(Qt::RightToLeft) << "a\r\n" + L + "/d a t a/f" + P;
        QTest::newRow("slash inside a word") << "and/or" << int(Qt::RightToLeft) << "and/or";
    }
    void pathsAreIsolated() {
        QFETCH(QString, Text);
        QFETCH(int, Direction);
        QFETCH(QString, Expected);
        QCOMPARE(IsolatePaths(Text, Qt::LayoutDirection(Direction)), Expected);
    }

    void trimRemovesOnlyUpToSpace() {
        QCOMPARE(TrimBlanks(QStringLiteral(" \t\r\npass word\x01 ")), QStringLiteral("pass word"));
        // A non-breaking space is text, not a blank.
        QCOMPARE(TrimBlanks(QStringLiteral("\u00A0pw\u00A0")), QStringLiteral("\u00A0pw\u00A0"));
        QCOMPARE(TrimBlanks(QStringLiteral("   ")), QString());
    }

    void passwordGate_data() {
        QTest::addColumn<QString>("Stored");
        QTest::addColumn<QString>("Typed");
        QTest::addColumn<int>("Leave");
        QTest::addColumn<bool>("Accepted");
        QTest::addColumn<bool>("InvalidShown");
        const int Ok = int(TLeave::OkButton);
        QTest::newRow("exact") << "Paßwort1"
                               << "Paßwort1" << Ok << true << false;
        QTest::newRow("ascii case accepted") << "Secret"
                                             << "sEcReT" << Ok << true << false;
        QTest::newRow("non-ascii case refused") << "Ärger"
                                                << "ärger" << Ok << false << true;
        QTest::newRow("trailing space refused") << "Secret"
                                                << "Secret " << Ok << false << true;
        QTest::newRow("wrong") << "Secret"
                               << "Secre" << Ok << false << true;
        QTest::newRow("enter in the field") << "Secret"
                                            << "secret" << int(TLeave::EnterKey) << true << false;
        QTest::newRow("escape in the field") << "Secret"
                                             << "Secret" << int(TLeave::EscapeKey) << false << false;
        QTest::newRow("cancel") << "Secret"
                                << "Secret" << int(TLeave::CancelButton) << false << false;
        QTest::newRow("close box") << "Secret"
                                   << "Secret" << int(TLeave::CloseBox) << false << false;
    }
    void passwordGate() {
        QFETCH(QString, Stored);
        QFETCH(QString, Typed);
        QFETCH(int, Leave);
        QFETCH(bool, Accepted);
        QFETCH(bool, InvalidShown);
        TGuiFixture Fixture;
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmPassword*>(W);
            QVERIFY(Dialog);
            QCOMPARE(Dialog->windowTitle(), QStringLiteral("Enter Password"));
            QCOMPARE(Dialog->edtPassword->echoMode(), QLineEdit::Password);
            QVERIFY(Dialog->edtPassword->text().isEmpty());
            Dialog->edtPassword->insert(Typed); // keyClicks types ASCII only
            switch (TLeave(Leave)) {
            case TLeave::OkButton:
                Dialog->btnOK->click();
                break;
            case TLeave::EnterKey:
                QTest::keyClick(Dialog->edtPassword, Qt::Key_Return);
                break;
            case TLeave::EscapeKey:
                QTest::keyClick(Dialog->edtPassword, Qt::Key_Escape);
                break;
            case TLeave::CancelButton:
                Dialog->btnCancel->click();
                break;
            case TLeave::CloseBox:
                Dialog->close();
                break;
            }
        });
        QCOMPARE(TfrmPassword::Execute(Stored), Accepted);
        QCOMPARE(Driver.Pending(), 0);
        QCOMPARE(ShownTexts(), InvalidShown ? QStringList{QStringLiteral("Invalid password.")} : QStringList());
        if (InvalidShown)
            QCOMPARE(DialogSeam::Shown().first().Kind, TMsgKind::Error);
    }

    void escapeOutsideTheFieldDoesNothing() {
        TGuiFixture Fixture;
        TModalDriver Driver;
        Driver.Then([](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmPassword*>(W);
            QTest::keyClicks(Dialog->edtPassword, QStringLiteral("pw"));
            Dialog->btnOK->setFocus();
            QTest::keyClick(Dialog->btnOK, Qt::Key_Escape);
            QVERIFY(Dialog->isVisible());
            Dialog->btnOK->click();
        });
        QVERIFY(TfrmPassword::Execute(QStringLiteral("PW")));
    }

    void setPassword_data() {
        QTest::addColumn<QString>("First");
        QTest::addColumn<QString>("Second");
        QTest::addColumn<QString>("Message");
        QTest::addColumn<QString>("Result");
        QTest::newRow("match") << "n3w pass"
                               << "n3w pass"
                               << ""
                               << "n3w pass";
        QTest::newRow("trailing blanks differ") << "  pass\t"
                                                << "pass   "
                                                << ""
                                                << "pass";
        QTest::newRow("case differs") << "Pass"
                                      << "pass"
                                      << "Passwords do not match."
                                      << "";
        QTest::newRow("one empty") << "pass"
                                   << ""
                                   << "Passwords do not match."
                                   << "";
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "Password is required."
                                    << "";
        QTest::newRow("both blank") << "   "
                                    << " "
                                    << "Password is required."
                                    << "";
    }
    void setPassword() {
        QFETCH(QString, First);
        QFETCH(QString, Second);
        QFETCH(QString, Message);
        QFETCH(QString, Result);
        TGuiFixture Fixture;
        TfrmPasswordSet Dialog;
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            QCOMPARE(W, &Dialog);
            QCOMPARE(Dialog.windowTitle(), QStringLiteral(" Set Password"));
            QCOMPARE(Dialog.Edit1->text(), QStringLiteral("old"));
            Dialog.Edit1->setText(First);
            Dialog.Edit2->setText(Second);
            Dialog.Button2->click();
            if (Dialog.isVisible()) // refused: the dialog stays until Cancel
                Dialog.Button1->click();
        });
        QString Value = QStringLiteral("old");
        Dialog.ChangePassword(Value);
        QCOMPARE(Value, Result.isEmpty() ? QStringLiteral("old") : Result);
        QCOMPARE(Dialog.Tag, Result.isEmpty() ? 0 : 1);
        QCOMPARE(ShownTexts(), Message.isEmpty() ? QStringList() : QStringList{Message});
    }

    void setPasswordKeysAndMemory() {
        TGuiFixture Fixture;
        TfrmPasswordSet Dialog;
        TModalDriver Driver;
        // Escape is ignored; the close box after editing leaves the value; "Show password" is set.
        Driver.Then([&](QWidget*) {
            Dialog.Edit1->setText(QStringLiteral("changed"));
            QTest::keyClick(Dialog.Edit1, Qt::Key_Escape);
            QVERIFY(Dialog.isVisible());
            Dialog.CheckBox1->click();
            QCOMPARE(Dialog.Edit1->echoMode(), QLineEdit::Normal);
            QCOMPARE(Dialog.Edit2->echoMode(), QLineEdit::Normal);
            Dialog.close();
        });
        // Next showing: still in clear; Enter on the check box runs OK.
        Driver.Then([&](QWidget*) {
            QVERIFY(Dialog.CheckBox1->isChecked());
            QCOMPARE(Dialog.Edit1->echoMode(), QLineEdit::Normal);
            QCOMPARE(Dialog.Edit2->echoMode(), QLineEdit::Normal);
            Dialog.Edit1->setText(QStringLiteral("fresh"));
            Dialog.Edit2->setText(QStringLiteral("fresh"));
            Dialog.CheckBox1->setFocus();
            QTest::keyClick(Dialog.CheckBox1, Qt::Key_Return);
        });
        QString Value = QStringLiteral("keep");
        Dialog.ChangePassword(Value);
        QCOMPARE(Value, QStringLiteral("keep"));
        QCOMPARE(Dialog.Tag, 0);
        Dialog.ChangePassword(Value);
        QCOMPARE(Value, QStringLiteral("fresh"));
        QCOMPARE(Driver.Pending(), 0);
    }

    void passwordSetWarnsOfNoRecovery_data() {
        QTest::addColumn<QString>("Code");
        TGuiFixture Fixture;
        QVERIFY(TranslationTable.size() > 1);
        for (const QStringList& Column : std::as_const(TranslationTable))
            QTest::newRow(qPrintable(Column.at(1))) << Column.at(1);
    }
    // The warning that a lost password is lost for good is shown whole, in every language.
    void passwordSetWarnsOfNoRecovery() {
        QFETCH(QString, Code);
        TGuiFixture Fixture;
        TGuiFixture::UseLanguage(Code);
        TfrmPasswordSet Dialog;
        Dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Dialog));
        const QLabel* Label = Dialog.Label4;
        QCOMPARE(Label->text(), Translate("This password is the only key to everything you hide. The program cannot "
                                          "recover it if it is lost."));
        QVERIFY(Label->isVisible());
        QVERIFY(Dialog.rect().contains(Label->geometry()));
        QVERIFY(Label->wordWrap());
        QVERIFY(Label->heightForWidth(Label->width()) <= Label->height());
        // A word too long for a line would run past the edge even though the lines fit.
        const QRect Room = Label->contentsRect();
        const QRect Needed = Label->fontMetrics().boundingRect(Room.x(), Room.y(), Room.width(), 100000,
                                                               Qt::TextWordWrap, Label->text());
        QVERIFY2(Needed.width() <= Room.width() && Needed.height() <= Room.height(),
                 qPrintable(QStringLiteral("needs %1x%2, has %3x%4")
                                .arg(Needed.width())
                                .arg(Needed.height())
                                .arg(Room.width())
                                .arg(Room.height())));
    }

    void messageBoxesTranslateTheirButtons() {
        TGuiFixture Fixture;
        TGuiFixture::UseLanguage(QStringLiteral("de"));
        ShowMessageBox(QStringLiteral("x"), TMsgKind::Warning, TMsgButtons::YesNoCancel);
        const TShownDialog Shown = DialogSeam::Shown().last();
        QCOMPARE(Shown.Kind, TMsgKind::Warning);
        QCOMPARE(Shown.ButtonTexts, (QStringList{Translate("Yes"), Translate("No"), Translate("Cancel")}));
        QVERIFY(Shown.ButtonTexts.first() != QStringLiteral("Yes"));
        // Unanswered boxes take their escape answer; a queued one takes the queue.
        QCOMPARE(ShowMessageBox(QStringLiteral("q"), TMsgKind::Warning, TMsgButtons::OKCancel), TMsgResult::Cancel);
        DialogSeam::QueueResult(TMsgResult::Yes);
        QCOMPARE(ShowMessageBox(QStringLiteral("q"), TMsgKind::Warning, TMsgButtons::YesNoCancel), TMsgResult::Yes);
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
