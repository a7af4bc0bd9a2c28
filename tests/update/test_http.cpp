#include "platform/KelvarnError.h"
#include "LocalHttpServer.h"
#include "http/THttpClient.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QtTest>

namespace {

// Runs a GET; the error's text, or an empty text when it worked.
QString GetInto(THttpClient& Client, const QString& Url, QByteArray& Body) {
    QBuffer Buffer(&Body);
    Buffer.open(QIODevice::WriteOnly);
    try {
        Client.Get(QUrl(Url), Buffer);
    } catch (const EKelvarnError& Error) {
        return Error.Message();
    }
    return QString();
}

// Serves at /file a body that stops after its first kilobyte and never ends.
void ServeStalledFile(TLocalHttpServer& Server) {
    TRoute R;
    R.Body = Pattern(300000);
    R.Mode = TRoute::Stall;
    R.StallAfter = 1000;
    Server.Route("/file", R);
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT

private slots:
    void permittedAddresses_data() {
        QTest::addColumn<QString>("Url");
        QTest::addColumn<bool>("Permitted");
        QTest::newRow("https") << "https://www.nvlkelvarn.org/download" << true;
        QTest::newRow("https upper case") << "HTTPS://WWW.NVLKELVARN.ORG/" << true;
        QTest::newRow("http v4 loopback") << "http://127.0.0.1:8080/x" << true;
        QTest::newRow("http v6 loopback") << "http://[::1]:8080/x" << true;
        QTest::newRow("http localhost") << "http://localhost/x" << true;
        QTest::newRow("http remote") << "http://www.nvlkelvarn.org/x" << false;
        QTest::newRow("http other 127") << "http://127.0.0.2/x" << false;
        QTest::newRow("http localhost lookalike") << "http://localhost.example.org/x" << false;
        QTest::newRow("ftp") << "ftp://www.nvlkelvarn.org/x" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("no host") << "https:///x" << false;
    }
    void permittedAddresses() {
        QFETCH(QString, Url);
        QFETCH(bool, Permitted);
        QCOMPARE(THttpClient::IsPermittedUrl(QUrl(Url)), Permitted);
    }

    void redirectsNeverLeaveHttps() {
        const QUrl Secure(QStringLiteral("https://a.example/x"));
        QVERIFY(THttpClient::IsPermittedRedirect(Secure, QUrl(QStringLiteral("https://b.example/y"))));
        QVERIFY(!THttpClient::IsPermittedRedirect(Secure, QUrl(QStringLiteral("http://127.0.0.1/y"))));
        const QUrl Local(QStringLiteral("http://127.0.0.1:1/x"));
        QVERIFY(THttpClient::IsPermittedRedirect(Local, QUrl(QStringLiteral("http://localhost:2/y"))));
        QVERIFY(!THttpClient::IsPermittedRedirect(Local, QUrl(QStringLiteral("http://www.nvlkelvarn.org/y"))));
    }

    void bodyAndUserAgent() {
        TLocalHttpServer Server;
        QVERIFY(Server.Listening());
        const QByteArray Data = Pattern(200000);
        TRoute R;
        R.Body = Data;
        R.Pieces = 5;
        Server.Route("/file", R);
        THttpClient Client;
        Client.SetUserAgent(QStringLiteral("Mozilla/4.0 (compatible; MyApp)"));
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/file"), Body), QString());
        QCOMPARE(Body, Data);
        QCOMPARE(Client.ResponseCode(), 200);
        QCOMPARE(Server.Agents(), QList<QByteArray>{"Mozilla/4.0 (compatible; MyApp)"});
        QVERIFY(Client.Connected());
        Client.Disconnect();
        QVERIFY(!Client.Connected());
    }

    // The work event sees every byte count in order, and the headers as the server sent them.
    void workEventSeesLengthAndEncoding_data() {
        QTest::addColumn<bool>("Chunked");
        QTest::newRow("content length") << false;
        QTest::newRow("chunked") << true;
    }
    void workEventSeesLengthAndEncoding() {
        QFETCH(bool, Chunked);
        TLocalHttpServer Server;
        TRoute R;
        R.Body = Pattern(100000);
        R.Mode = Chunked ? TRoute::Chunked : TRoute::Length;
        R.Pieces = 4;
        Server.Route("/file", R);
        THttpClient Client;
        QList<qint64> Counts;
        QList<qint64> Lengths;
        QStringList Encodings;
        Client.SetOnWork([&](qint64 Bytes) {
            Counts.append(Bytes);
            Lengths.append(Client.ResponseContentLength());
            Encodings.append(Client.ResponseTransferEncoding());
        });
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/file"), Body), QString());
        QCOMPARE(Body, R.Body);
        QVERIFY(!Counts.isEmpty());
        QCOMPARE(Counts.last(), qint64(R.Body.size()));
        QVERIFY(std::is_sorted(Counts.cbegin(), Counts.cend()));
        QCOMPARE(Lengths.last(), Chunked ? qint64(-1) : qint64(R.Body.size()));
        QCOMPARE(Encodings.last(), Chunked ? QStringLiteral("chunked") : QString());
    }

    void workEventErrorEndsTheTransfer() {
        TLocalHttpServer Server;
        ServeStalledFile(Server);
        THttpClient Client;
        int Calls = 0;
        Client.SetOnWork([&](qint64) {
            ++Calls;
            throw EKelvarnError(QStringLiteral("stop here"));
        });
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/file"), Body), QStringLiteral("stop here"));
        QCOMPARE(Calls, 1);
    }

    void abortEndsAStalledTransfer() {
        TLocalHttpServer Server;
        ServeStalledFile(Server);
        THttpClient Client;
        Client.SetOnWork([&](qint64) { QTimer::singleShot(0, [&] { Client.Abort(QStringLiteral("aborted")); }); });
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/file"), Body), QStringLiteral("aborted"));
        QCOMPARE(Body.size(), 1000);
    }

    void statusErrors_data() {
        QTest::addColumn<int>("Status");
        QTest::addColumn<QString>("Message");
        QTest::newRow("404") << 404 << "HTTP 404 Not Found";
        QTest::newRow("500") << 500 << "HTTP 500 Internal Server Error";
    }
    void statusErrors() {
        QFETCH(int, Status);
        QFETCH(QString, Message);
        TLocalHttpServer Server;
        Server.Page("/page", "an error page", Status);
        THttpClient Client;
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/page"), Body), Message);
        // An error page is not the resource.
        QVERIFY(Body.isEmpty());
    }

    void redirects_data() {
        QTest::addColumn<bool>("Follow");
        QTest::addColumn<int>("Hops");
        QTest::addColumn<QString>("Message");
        QTest::newRow("one") << true << 1 << QString();
        QTest::newRow("ten") << true << 10 << QString();
        QTest::newRow("eleven") << true << 11 << "Too many redirects (more than 10).";
        QTest::newRow("not followed") << false << 1 << "HTTP 302 Found";
    }
    void redirects() {
        QFETCH(bool, Follow);
        QFETCH(int, Hops);
        QFETCH(QString, Message);
        TLocalHttpServer Server;
        Server.Page("/final", "arrived");
        Server.RedirectChain("/start", Hops, "/final");
        THttpClient Client;
        Client.SetHandleRedirects(Follow);
        Client.SetRedirectMaximum(10);
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/start"), Body), Message);
        QCOMPARE(Body, Message.isEmpty() ? QByteArray("arrived") : QByteArray());
        // Each hop asked once; past the limit nothing more is asked.
        QCOMPARE(Server.Paths().size(), Follow ? qMin(Hops, 10) + 1 : 1);
    }

    void redirectToAnotherHostOverHttpIsRefused() {
        TLocalHttpServer Server;
        TRoute R;
        R.Status = 302;
        R.Location = "http://www.nvlkelvarn.org/download/version/nvlkelvarn-version.html";
        Server.Route("/start", R);
        THttpClient Client;
        Client.SetHandleRedirects(true);
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/start"), Body),
                 QStringLiteral("Refused the redirect to http://www.nvlkelvarn.org/download/version/"
                                "nvlkelvarn-version.html."));
        QCOMPARE(Server.Paths().size(), 1);
    }

    void refusedAddressIsNeverFetched() {
        THttpClient Client;
        QByteArray Body;
        QVERIFY(GetInto(Client, QStringLiteral("http://www.nvlkelvarn.org/x"), Body).startsWith("Refused to fetch"));
    }

    void bodyLimit() {
        TLocalHttpServer Server;
        Server.Page("/big", Pattern(5000));
        THttpClient Client;
        Client.SetMaximumBodySize(4096);
        QByteArray Body;
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/big"), Body),
                 QStringLiteral("The answer is larger than 4096 bytes."));
    }

    void refusedPortFailsAtOnce() {
        THttpClient Client;
        Client.SetReadTimeout(60000);
        Client.SetConnectTimeout(60000);
        QByteArray Body;
        QElapsedTimer Clock;
        Clock.start();
        const QString Error = GetInto(Client, QStringLiteral("http://127.0.0.1:%1/x").arg(RefusedPort()), Body);
        QVERIFY(!Error.isEmpty());
        // Far below the time-outs: a refusal is not waited out.
        QVERIFY2(Clock.elapsed() < 20000, qPrintable(QString::number(Clock.elapsed())));
    }

    // The time-out bounds the wait for a server that accepts and never answers, or stops sending.
    void silenceTimesOut_data() {
        QTest::addColumn<int>("Mode");
        QTest::addColumn<int>("ConnectTimeout");
        QTest::addColumn<QString>("Message");
        QTest::newRow("silent, read bound") << int(TRoute::Silent) << 0 << "Read timed out.";
        QTest::newRow("silent, connect bound") << int(TRoute::Silent) << 300 << "Connect timed out.";
        QTest::newRow("stalled body") << int(TRoute::Stall) << 300 << "Read timed out.";
    }
    void silenceTimesOut() {
        QFETCH(int, Mode);
        QFETCH(int, ConnectTimeout);
        QFETCH(QString, Message);
        TLocalHttpServer Server;
        TRoute R;
        R.Mode = static_cast<TRoute::TMode>(Mode);
        R.Body = Pattern(5000);
        R.StallAfter = 100;
        Server.Route("/x", R);
        THttpClient Client;
        Client.SetReadTimeout(300);
        Client.SetConnectTimeout(ConnectTimeout);
        QByteArray Body;
        QElapsedTimer Clock;
        Clock.start();
        QCOMPARE(GetInto(Client, Server.Base() + QStringLiteral("/x"), Body), Message);
        QVERIFY(Clock.elapsed() >= 250);
        QVERIFY2(Clock.elapsed() < 20000, qPrintable(QString::number(Clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "test_http.moc"
