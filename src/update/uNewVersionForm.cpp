#include "update/uNewVersionForm.h"

#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"
#include "platform/PlatformEnvironment.h"
#include "http/THttpClient.h"
#include "update/UpdateDownloadTarget.h"
#include "translation/translation.h"
#include "update/uNewVersionCheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString CrLf = QStringLiteral("\r\n");
constexpr int LabelWidth = 301;
constexpr int LabelMinHeight = 94;
constexpr int LabelMaxHeight = 320;

QString CancelledText() {
    return Translate("Download is cancelled. Please download manually.");
}

// A caption as the user reads it: a style may add a mnemonic "&" to a button's text.
QString CaptionOf(const QPushButton* Button) {
    return Button->text().remove(QLatin1Char('&'));
}

} // namespace

TfrmNewVersion::TfrmNewVersion(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmNewVersion"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    VirtualImage1 = new QLabel(this);
    VirtualImage1->setObjectName(QStringLiteral("VirtualImage1"));
    VirtualImage1->setFixedSize(70, 75);
    VirtualImage1->setAlignment(Qt::AlignCenter);
    VirtualImage1->setPixmap(AppIcon(QStringLiteral("update-icon")).pixmap(64, 64));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    // The changes come from the server: shown as text, never as markup or links.
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long list of changes scrolls instead of stretching the dialog past the screen.
    auto* TextArea = new QScrollArea(this);
    TextArea->setObjectName(QStringLiteral("TextArea"));
    TextArea->setFrameShape(QFrame::NoFrame);
    TextArea->setWidgetResizable(true);
    TextArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TextArea->setWidget(Label1);
    TextArea->setFixedWidth(LabelWidth + TextArea->verticalScrollBar()->sizeHint().width());
    TextArea->setFixedHeight(LabelMinHeight);
    TextArea->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    FTextArea = TextArea;

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setFixedHeight(17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    btUpdateNow = new QPushButton(this);
    btUpdateNow->setObjectName(QStringLiteral("btUpdateNow"));
    btUpdateNow->setMinimumSize(100, 25);
    btCancel = new QPushButton(this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setMinimumSize(75, 25);

    auto* Layout = new QVBoxLayout(this);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    Layout->setContentsMargins(8, 12, 12, 10);
    Layout->setSpacing(8);
    auto* Top = new QHBoxLayout;
    Top->addWidget(VirtualImage1, 0, Qt::AlignTop);
    Top->addWidget(TextArea, 1);
    Layout->addLayout(Top);
    Layout->addWidget(ProgressBar1);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch(1);
    Buttons->addWidget(btUpdateNow);
    Buttons->addWidget(btCancel);
    Layout->addLayout(Buttons);
    setMinimumWidth(403);

    btUpdateNow->setDefault(true);
    connect(btUpdateNow, &QPushButton::clicked, this, &TfrmNewVersion::btUpdateNowClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrmNewVersion::btCancelClick);
}

TfrmNewVersion::~TfrmNewVersion() = default;

void TfrmNewVersion::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    // Restoring a minimised dialog shows it again; that is no fresh start.
    if (!Event->spontaneous())
        FormShow();
}

void TfrmNewVersion::FormShow() {
    Tag = 1;
    setWindowTitle(QLatin1Char(' ') + ApplicationTitle());
    btUpdateNow->setText(Translate("Update Now"));
    btCancel->setText(ExitAfterUpdateDialog ? Translate("Exit") : Translate("Skip"));
    // The message's lines end in CR LF; a label breaks lines at LF alone.
    Label1->setText(QString(NewVersionMessage).replace(CrLf, QStringLiteral("\n")));
    // As tall as the text, within bounds; a longer text scrolls.
    FTextArea->setFixedHeight(std::clamp(Label1->heightForWidth(LabelWidth), LabelMinHeight, LabelMaxHeight));
}

void TfrmNewVersion::btCancelClick() {
    if (CaptionOf(btCancel) != Translate("Abort")) {
        close();
        return;
    }
    DownloadCancelRequested = true;
    // Acted on at once, not only at the next arrival of data: a stalled server sends none.
    if (FClient != nullptr)
        FClient->Abort(CancelledText());
}

void TfrmNewVersion::done(int Result) {
    if (FClient != nullptr) {
        // The close box or Escape during the download: the same as Abort.
        DownloadCancelRequested = true;
        FClient->Abort(CancelledText());
        return;
    }
    FormClose();
    QDialog::done(Result);
}

void TfrmNewVersion::FormClose() {
    if (ExitAfterUpdateDialog)
        Tag = 0;
}

void TfrmNewVersion::btUpdateNowClick() {
    if (FClient != nullptr)
        return;
    ExitAfterUpdateDialog = true;
    QString ErrorText;
    bool Failed = false;
    try {
        THttpClient Client;
        // Leaving the block by any path: no connection stays open, and the dialog can close again.
        struct TClientScope {
            THttpClient*& Slot;
            THttpClient& Client;
            ~TClientScope() {
                if (Client.Connected())
                    Client.Disconnect();
                Slot = nullptr;
            }
        } Scope{FClient, Client};
        FClient = &Client;
        DownloadCancelRequested = false;
        Client.SetUserAgent(UpdateUserAgent());
        Client.SetOnWork([this](qint64 BytesSoFar) { DownloadWork(BytesSoFar); });

        btCancel->setText(Translate("Abort"));
        btUpdateNow->setEnabled(false);
        ProgressBar1->setValue(0);
        ProgressBar1->show();
        ProgressBar1->repaint();
        QCoreApplication::processEvents();
        // Abort pressed before the transfer began.
        if (DownloadCancelRequested)
            throw EKelvarnError(CancelledText());

        {
            const std::unique_ptr<QFile> Target = CreateDownloadTarget();
            Client.Get(UpdateResourceUrl(QStringLiteral("/download/nvlkelvarn.deb")), *Target);
            Target->close();
            if (Target->error() != QFileDevice::NoError)
                throw EKelvarnError(Target->errorString());
        }
        const QString Path = UpdateDownloadPath();
        if (!QFile::exists(Path))
            throw EKelvarnError(Translate("Cannot find downloaded file."));
        // The desktop hands a .deb to the system's package installer.
        if (!OpenWithDesktop(QUrl::fromLocalFile(Path)))
            throw EKelvarnError(QStringLiteral("No program of the desktop opened \"%1\".").arg(Path));
    } catch (const std::exception& Error) {
        Failed = true;
        ErrorText = ErrorTextOf(Error);
    }
    if (Failed) {
        ShowMessageBox(Translate("Failed to download update. Please download manually on website.") + CrLf + CrLf +
                           ErrorText,
                       TMsgKind::Error);
        const QString Site = UpdateBaseAddress().isEmpty() ? MakerWebAddress() : UpdateBaseAddress();
        OpenWithDesktop(QUrl(Site + QLatin1Char('/')));
    }
    close();
}

void TfrmNewVersion::DownloadWork(qint64 BytesSoFar) {
    if (DownloadCancelRequested)
        throw EKelvarnError(CancelledText());
    if (FClient == nullptr)
        return;
    const qint64 Length = FClient->ResponseContentLength();
    if (FClient->ResponseTransferEncoding().toLatin1().toLower().contains("chunked") || Length <= 0)
        return;
    ProgressBar1->setValue(static_cast<int>(std::clamp<qint64>(BytesSoFar * 100 / Length, 0, 100)));
    ProgressBar1->repaint();
    QCoreApplication::processEvents();
}
