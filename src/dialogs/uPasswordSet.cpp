#include "dialogs/uPasswordSet.h"

#include "dialogs/DialogSeam.h"
#include "dialogs/PasswordEdit.h"
#include "dialogs/TextRules.h"
#include "translation/translation.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmPasswordSet* frmPasswordSet = nullptr;

TfrmPasswordSet::~TfrmPasswordSet() {
    if (frmPasswordSet == this)
        frmPasswordSet = nullptr;
}

TfrmPasswordSet::TfrmPasswordSet(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmPasswordSet"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setWordWrap(true);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(227);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
    Label2->setWordWrap(true);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Button2 = new QPushButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    // Enter is the window's (FormKeyPress), whichever control has the focus.
    Button2->setAutoDefault(false);
    Button1->setAutoDefault(false);
    MaskWithStars(Edit1, true);
    MaskWithStars(Edit2, true);

    auto* Layout = new QVBoxLayout(this);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    Layout->setContentsMargins(11, 9, 11, 9);
    Layout->addWidget(Label3);
    Layout->addWidget(Label4);
    auto* Grid = new QGridLayout;
    Grid->setColumnMinimumWidth(0, 116);
    Grid->setColumnStretch(1, 1);
    Grid->addWidget(Label1, 0, 0);
    Grid->addWidget(Edit1, 0, 1);
    Grid->addWidget(Label2, 1, 0);
    Grid->addWidget(Edit2, 1, 1);
    Grid->addWidget(CheckBox1, 2, 1);
    Layout->addLayout(Grid);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch(1);
    Buttons->addWidget(Button2);
    Buttons->addWidget(Button1);
    Layout->addLayout(Buttons);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, CheckBox1);
    setTabOrder(CheckBox1, Button2);
    setTabOrder(Button2, Button1);

    connect(Button2, &QPushButton::clicked, this, &TfrmPasswordSet::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TfrmPasswordSet::Button1Click);
    connect(CheckBox1, &QCheckBox::clicked, this, &TfrmPasswordSet::CheckBox1Click);
    // Key preview: the window sees Enter before the focused control does.
    for (QWidget* Child : findChildren<QWidget*>())
        Child->installEventFilter(this);
    FormShow();
}

void TfrmPasswordSet::ChangePassword(QString& strNewPassword) {
    Tag = 0;
    Edit1->setText(strNewPassword);
    Edit2->setText(strNewPassword);
    Edit1->setFocus();
    exec();
    if (Tag != 0)
        strNewPassword = TrimBlanks(Edit1->text());
}

void TfrmPasswordSet::showEvent(QShowEvent* Event) {
    FormShow();
    QDialog::showEvent(Event);
}

void TfrmPasswordSet::FormShow() {
    Tag = 0;
    setWindowTitle(QStringLiteral(" ") + Translate("Set Password"));
    Label1->setText(Translate("Password:"));
    Label2->setText(Translate("Confirm password"));
    CheckBox1->setText(Translate("Show password"));
    Button2->setText(Translate("OK"));
    Button1->setText(Translate("Cancel"));
    Label3->setText(Translate("Set password to protect the program from unauthorized access and to encrypt "
                              "selected files and folders."));
    Label4->setText(Translate("This password is the only key to everything you hide. The program cannot recover "
                              "it if it is lost."));
}

void TfrmPasswordSet::Button2Click() {
    const QString A = TrimBlanks(Edit1->text());
    const QString B = TrimBlanks(Edit2->text());
    if (A != B) {
        ShowMessageBox(Translate("Passwords do not match."), TMsgKind::Error);
        return;
    }
    if (A.isEmpty() || B.isEmpty()) {
        ShowMessageBox(Translate("Password is required."), TMsgKind::Error);
        return;
    }
    Tag = 1;
    accept();
}

void TfrmPasswordSet::Button1Click() {
    reject();
}

void TfrmPasswordSet::CheckBox1Click() {
    MaskWithStars(Edit1, !CheckBox1->isChecked());
    MaskWithStars(Edit2, IsMasked(Edit1));
}

bool TfrmPasswordSet::FormKeyPress(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        Button2Click();
        return true;
    }
    // Escape does nothing here: only Cancel and the close box leave without a password.
    return Event->key() == Qt::Key_Escape;
}

bool TfrmPasswordSet::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyPress && FormKeyPress(static_cast<QKeyEvent*>(Event)))
        return true;
    return QDialog::eventFilter(Watched, Event);
}

void TfrmPasswordSet::keyPressEvent(QKeyEvent* Event) {
    if (!FormKeyPress(Event))
        QDialog::keyPressEvent(Event);
}
