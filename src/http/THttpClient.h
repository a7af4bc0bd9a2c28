#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <exception>
#include <functional>
#include <memory>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// A small blocking HTTP GET on Qt Network. Get runs a local event loop until the transfer ends, so
// the windows stay live while it blocks. Every failure (connection, time-out, HTTP status, writing
// the body, an error raised by the work handler, Abort) leaves Get as an EKelvarnError.
//
// Only https addresses are fetched; plain http only to a loopback host (a local mirror or a test
// server). A redirect must lead to an address of the same kind and never from https to http.
class THttpClient {
public:
    // Called with the number of body bytes received so far; raising an error ends the transfer and
    // the error leaves Get.
    using TWorkHandler = std::function<void(qint64 BytesSoFar)>;

    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    void SetUserAgent(const QString& Agent) { FUserAgent = Agent; }
    // Off by default; a 3xx answer is then an HTTP status error.
    void SetHandleRedirects(bool Follow) { FHandleRedirects = Follow; }
    void SetRedirectMaximum(int Count) { FRedirectMaximum = Count; }
    // Milliseconds; 0 waits for ever. ConnectTimeout bounds the time until the answer begins
    // (connection, TLS handshake, the server's first bytes); without it ReadTimeout bounds that
    // wait too. ReadTimeout bounds every silence once the answer has begun.
    void SetConnectTimeout(int Ms) { FConnectTimeout = Ms; }
    void SetReadTimeout(int Ms) { FReadTimeout = Ms; }
    // Largest body Get accepts; 0 for no limit.
    void SetMaximumBodySize(qint64 Bytes) { FMaximumBodySize = Bytes; }
    void SetOnWork(TWorkHandler Handler) { FOnWork = std::move(Handler); }

    // Writes the body of a 2xx answer to Target.
    void Get(const QUrl& Url, QIODevice& Target);
    // Ends a running Get at once; Message becomes its error. Does nothing when no Get runs.
    void Abort(const QString& Message);

    // The answer being received or last received: Content-Length (-1 when none was sent) and
    // Transfer-Encoding as sent. Readable from the work handler.
    qint64 ResponseContentLength() const { return FContentLength; }
    QString ResponseTransferEncoding() const { return FTransferEncoding; }
    int ResponseCode() const { return FResponseCode; }

    // True while the client may hold a connection open for reuse (after a Get, until Disconnect).
    bool Connected() const { return FConnected; }
    void Disconnect();

    // https, or http to 127.0.0.1, ::1 or localhost.
    static bool IsPermittedUrl(const QUrl& Url);
    // A permitted address that keeps https once a request has used it.
    static bool IsPermittedRedirect(const QUrl& From, const QUrl& To);

private:
    // One request without following redirects; the address to go on to when the answer is a
    // redirect to be followed, else an empty one.
    QUrl RunRequest(const QUrl& Url);
    void OnMetaData();
    void OnReadyRead();
    void OnTimeout();
    void Fail(const QString& Message);
    void Drain();
    void ArmTimer();

    std::unique_ptr<QNetworkAccessManager> FManager;
    QString FUserAgent;
    bool FHandleRedirects = false;
    int FRedirectMaximum = 10;
    int FConnectTimeout = 0;
    int FReadTimeout = 0;
    qint64 FMaximumBodySize = 0;
    TWorkHandler FOnWork;

    // State of the running Get.
    QNetworkReply* FReply = nullptr;
    QIODevice* FTarget = nullptr;
    QTimer* FTimer = nullptr;
    bool FAnswerBegun = false;
    bool FInWork = false;
    qint64 FBytes = 0;
    QString FError;
    std::exception_ptr FRaised;

    qint64 FContentLength = -1;
    QString FTransferEncoding;
    int FResponseCode = 0;
    QString FReasonPhrase;
    int FNetworkError = 0;
    QString FNetworkErrorText;
    bool FConnected = false;
};
