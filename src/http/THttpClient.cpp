#include "http/THttpClient.h"

#include "platform/KelvarnError.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

bool IsLoopbackHost(const QString& Host) {
    return Host == QLatin1String("127.0.0.1") || Host == QLatin1String("::1") || Host == QLatin1String("localhost");
}

bool IsSuccess(int Code) {
    return Code >= 200 && Code < 300;
}

} // namespace

THttpClient::THttpClient() : FManager(std::make_unique<QNetworkAccessManager>()) {
    // Every answer comes from the server: a cached page could hide a newer version.
    FManager->setCache(nullptr);
}

THttpClient::~THttpClient() = default;

bool THttpClient::IsPermittedUrl(const QUrl& Url) {
    if (!Url.isValid() || Url.host().isEmpty())
        return false;
    const QString Scheme = Url.scheme().toLower();
    if (Scheme == QLatin1String("https"))
        return true;
    return Scheme == QLatin1String("http") && IsLoopbackHost(Url.host().toLower());
}

bool THttpClient::IsPermittedRedirect(const QUrl& From, const QUrl& To) {
    const bool Downgrade =
        From.scheme().toLower() == QLatin1String("https") && To.scheme().toLower() != QLatin1String("https");
    return !Downgrade && IsPermittedUrl(To);
}

void THttpClient::Get(const QUrl& Url, QIODevice& Target) {
    if (FReply != nullptr)
        throw EKelvarnError(QStringLiteral("A transfer is already running."));
    if (!IsPermittedUrl(Url))
        throw EKelvarnError(
            QStringLiteral("Refused to fetch %1: only https addresses are fetched.").arg(Url.toDisplayString()));

    FTarget = &Target;
    FBytes = 0;
    FError.clear();
    FRaised = nullptr;
    QUrl Next = Url;
    // Redirects are followed here rather than inside Qt, so that every hop passes our address rules
    // before anything is sent to it.
    for (int Redirects = 0;; ++Redirects) {
        const QUrl Location = RunRequest(Next);
        if (Location.isEmpty() || !FError.isEmpty() || FRaised)
            break;
        if (Redirects >= FRedirectMaximum) {
            FError = QStringLiteral("Too many redirects (more than %1).").arg(FRedirectMaximum);
            break;
        }
        if (!IsPermittedRedirect(Next, Location)) {
            FError = QStringLiteral("Refused the redirect to %1.").arg(Location.toDisplayString());
            break;
        }
        Next = Location;
    }
    FTarget = nullptr;

    if (FRaised)
        std::rethrow_exception(FRaised);
    if (!FError.isEmpty())
        throw EKelvarnError(FError);
    // Below 200 no final answer arrived (Qt reports 100 for a reply that never got a status line).
    if (FResponseCode >= 200 && !IsSuccess(FResponseCode))
        throw EKelvarnError(QStringLiteral("HTTP %1 %2").arg(FResponseCode).arg(FReasonPhrase).trimmed());
    if (FNetworkError != QNetworkReply::NoError)
        throw EKelvarnError(FNetworkErrorText);
    if (FResponseCode < 200)
        throw EKelvarnError(QStringLiteral("The server sent no HTTP answer."));
}

QUrl THttpClient::RunRequest(const QUrl& Url) {
    QNetworkRequest Request(Url);
    if (!FUserAgent.isEmpty())
        Request.setRawHeader("User-Agent", FUserAgent.toUtf8());
    // Bytes as the server stores them: Content-Length then counts what arrives, and a download is
    // saved exactly as published.
    Request.setRawHeader("Accept-Encoding", "identity");
    Request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    FAnswerBegun = false;
    FInWork = false;
    FContentLength = -1;
    FTransferEncoding.clear();
    FResponseCode = 0;

    QEventLoop Loop;
    QTimer Timer;
    Timer.setSingleShot(true);
    FTimer = &Timer;
    QObject::connect(&Timer, &QTimer::timeout, &Loop, [this] { OnTimeout(); });

    FReply = FManager->get(Request);
    FConnected = true;
    QObject::connect(FReply, &QNetworkReply::metaDataChanged, &Loop, [this] { OnMetaData(); });
    QObject::connect(FReply, &QNetworkReply::readyRead, &Loop, [this] { OnReadyRead(); });
    QObject::connect(FReply, &QNetworkReply::finished, &Loop, &QEventLoop::quit);
    ArmTimer();
    if (!FReply->isFinished())
        Loop.exec();
    Timer.stop();
    if (FError.isEmpty() && !FRaised) {
        OnMetaData();
        Drain();
    }

    FNetworkError = FReply->error();
    FNetworkErrorText = FReply->errorString();
    FReasonPhrase = FReply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    QUrl Location;
    if (FHandleRedirects && FResponseCode >= 300 && FResponseCode < 400) {
        const QVariant Target = FReply->attribute(QNetworkRequest::RedirectionTargetAttribute);
        if (Target.isValid())
            Location = Url.resolved(Target.toUrl());
    }
    FReply->disconnect();
    delete FReply;
    FReply = nullptr;
    FTimer = nullptr;
    return Location;
}

void THttpClient::Abort(const QString& Message) {
    if (FReply != nullptr)
        Fail(Message);
}

void THttpClient::Disconnect() {
    FManager->clearConnectionCache();
    FConnected = false;
}

void THttpClient::OnMetaData() {
    if (FReply == nullptr)
        return;
    const QVariant Code = FReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!Code.isValid())
        return;
    FAnswerBegun = true;
    FResponseCode = Code.toInt();
    const QVariant Length = FReply->header(QNetworkRequest::ContentLengthHeader);
    FContentLength = Length.isValid() ? Length.toLongLong() : -1;
    FTransferEncoding = QString::fromLatin1(FReply->rawHeader("Transfer-Encoding"));
    ArmTimer();
}

void THttpClient::OnReadyRead() {
    if (FResponseCode == 0)
        OnMetaData();
    Drain();
}

void THttpClient::OnTimeout() {
    Fail(FAnswerBegun || FConnectTimeout <= 0 ? QStringLiteral("Read timed out.")
                                              : QStringLiteral("Connect timed out."));
}

void THttpClient::Fail(const QString& Message) {
    if (FError.isEmpty())
        FError = Message;
    if (FReply != nullptr && FReply->isRunning())
        FReply->abort();
}

// Reads what has arrived. A work handler that processes events may see more data arrive; that
// data waits in the reply and is read here once the handler has returned.
void THttpClient::Drain() {
    if (FReply == nullptr || FInWork)
        return;
    while (FReply != nullptr && FReply->bytesAvailable() > 0 && FError.isEmpty() && !FRaised) {
        const QByteArray Chunk = FReply->read(ChunkSize);
        // An error page is not the resource: it never reaches the target.
        if (!IsSuccess(FResponseCode))
            continue;
        if (FMaximumBodySize > 0 && FBytes + Chunk.size() > FMaximumBodySize) {
            Fail(QStringLiteral("The answer is larger than %1 bytes.").arg(FMaximumBodySize));
            return;
        }
        if (FTarget->write(Chunk) != Chunk.size()) {
            Fail(FTarget->errorString());
            return;
        }
        FBytes += Chunk.size();
        ArmTimer();
        if (FOnWork) {
            FInWork = true;
            try {
                FOnWork(FBytes);
            } catch (...) {
                FRaised = std::current_exception();
            }
            FInWork = false;
            if (FRaised && FReply != nullptr && FReply->isRunning())
                FReply->abort();
        }
    }
}

void THttpClient::ArmTimer() {
    if (FTimer == nullptr)
        return;
    const int Interval = !FAnswerBegun && FConnectTimeout > 0 ? FConnectTimeout : FReadTimeout;
    if (Interval > 0)
        FTimer->start(Interval);
    else
        FTimer->stop();
}
