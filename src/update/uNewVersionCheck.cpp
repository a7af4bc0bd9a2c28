#include "update/uNewVersionCheck.h"

#include "platform/PlatformEnvironment.h"
#include "http/THttpClient.h"
#include "translation/translation.h"

#include <QBuffer>

QString NewVersionMessage;
bool ExitAfterUpdateDialog = false;
bool DownloadCancelRequested = false;

namespace {

constexpr int DefaultCheckTimeoutMs = 10000;
// Both pages are a few lines; anything much larger is not ours.
constexpr qint64 PageSizeLimit = 1024 * 1024;

int GCheckTimeoutMs = DefaultCheckTimeoutMs;

const QString CrLf = QStringLiteral("\r\n");

QByteArray FetchPage(THttpClient& Client, const QString& Path) {
    QByteArray Page;
    QBuffer Buffer(&Page);
    Buffer.open(QIODevice::WriteOnly);
    Client.Get(UpdateResourceUrl(Path), Buffer);
    return Page;
}

bool IsDecimal(const QString& Text) {
    if (Text.isEmpty())
        return false;
    for (const QChar C : Text)
        if (C < QLatin1Char('0') || C > QLatin1Char('9'))
            return false;
    return true;
}

// Heading is the translated announcement, with %s where the version goes.
QString ComposeMessage(QString Heading, const QString& Version, const QStringList& Changes) {
    QString Text = Heading.replace(QStringLiteral("%s"), Version) + CrLf + CrLf + Translate("What's new:") + CrLf;
    for (const QString& Line : Changes)
        Text += Line + CrLf;
    return Text;
}

} // namespace

QString UpdateUserAgent() {
    return QStringLiteral("Mozilla/4.0 (compatible; MyApp)");
}

QString UpdateBaseAddress() {
    QString Base = qEnvironmentVariable("KELVARN_UPDATE_URL");
    if (Base.isEmpty())
        Base = MakerWebAddress();
    while (Base.endsWith(QLatin1Char('/')))
        Base.chop(1);
    const QUrl Url(Base, QUrl::StrictMode);
    if (!THttpClient::IsPermittedUrl(Url) || Url.hasQuery() || Url.hasFragment())
        return QString();
    return Base;
}

QUrl UpdateResourceUrl(const QString& Path) {
    const QString Base = UpdateBaseAddress();
    return Base.isEmpty() ? QUrl() : QUrl(Base + Path);
}

QStringList TextLinesOf(const QByteArray& Page) {
    QString Text = QString::fromUtf8(Page);
    if (Text.startsWith(QChar(0xFEFF)))
        Text.remove(0, 1);
    Text.replace(CrLf, QStringLiteral("\n"));
    Text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList Lines = Text.split(QLatin1Char('\n'));
    // A final line break ends the last line; it does not start another.
    if (Text.endsWith(QLatin1Char('\n')))
        Lines.removeLast();
    return Lines;
}

bool ParseVersionLine(const QString& Line, QString& LatestText, int& Latest, int& Minimum) {
    const qsizetype Slash = Line.indexOf(QLatin1Char('/'));
    if (Slash < 0)
        return false;
    const QString LatestPart = Line.left(Slash);
    const QString MinimumPart = Line.mid(Slash + 1);
    if (!IsDecimal(LatestPart) || !IsDecimal(MinimumPart))
        return false;
    bool LatestOk = false;
    bool MinimumOk = false;
    Latest = LatestPart.toInt(&LatestOk);
    Minimum = MinimumPart.toInt(&MinimumOk);
    if (!LatestOk || !MinimumOk)
        return false;
    LatestText = LatestPart;
    return true;
}

QString DisplayVersion(const QString& LatestText) {
    if (LatestText.isEmpty())
        return QString();
    return LatestText.left(LatestText.size() - 1) + QLatin1Char('.') + LatestText.right(1);
}

bool CheckForNewVersion() {
    try {
        if (UpdateBaseAddress().isEmpty())
            return false;
        QString VersionLine;
        QStringList Changes;
        {
            THttpClient Client;
            Client.SetUserAgent(UpdateUserAgent());
            Client.SetHandleRedirects(true);
            Client.SetRedirectMaximum(10);
            // A dead network must not hold the start-up for minutes: connecting is bounded too.
            Client.SetReadTimeout(GCheckTimeoutMs);
            Client.SetConnectTimeout(GCheckTimeoutMs);
            Client.SetMaximumBodySize(PageSizeLimit);
            const QStringList VersionLines =
                TextLinesOf(FetchPage(Client, QStringLiteral("/download/version/nvlkelvarn-version.html")));
            VersionLine = VersionLines.value(0);
            Changes = TextLinesOf(FetchPage(Client, QStringLiteral("/download/version/nvlkelvarn-changes.html")));
            for (qsizetype I = Changes.size() - 1; I >= 0; --I)
                if (Changes.at(I).isEmpty())
                    Changes.removeAt(I);
            if (Client.Connected())
                Client.Disconnect();
        }

        QString LatestText;
        int Latest = 0;
        int Minimum = 0;
        if (!ParseVersionLine(VersionLine, LatestText, Latest, Minimum))
            return false;
        const QString Display = DisplayVersion(LatestText);
        if (Minimum > ProgramVersionNumber()) {
            ExitAfterUpdateDialog = true;
            NewVersionMessage =
                ComposeMessage(Translate("This version of the software is out of date. You must download the "
                                         "current version %s to continue using the software."),
                               Display, Changes);
            return true;
        }
        if (Latest > ProgramVersionNumber()) {
            NewVersionMessage = ComposeMessage(Translate("The new version %s is available"), Display, Changes);
            return true;
        }
    } catch (...) {
    }
    return false;
}

void SetVersionCheckTimeout(int Ms) {
    GCheckTimeoutMs = Ms > 0 ? Ms : DefaultCheckTimeoutMs;
}

void ResetUpdateState() {
    NewVersionMessage.clear();
    ExitAfterUpdateDialog = false;
    DownloadCancelRequested = false;
}
