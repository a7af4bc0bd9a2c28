#pragma once

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A small HTTP/1.1 server on 127.0.0.1 for the tests: each path answers as its route says, and
// every request's path and User-Agent are recorded. Connections are kept alive, as servers do.
struct TRoute {
    enum TMode {
        Length,  // Content-Length, then the body
        Chunked, // Transfer-Encoding: chunked
        Silent,  // accepts and never answers
        Stall    // Content-Length of the whole body, then only StallAfter bytes of it
    };
    int Status = 200;
    QByteArray Body;
    TMode Mode = Length;
    QByteArray Location;
    qsizetype StallAfter = 0;
    // The body goes out in this many writes, a few milliseconds apart.
    int Pieces = 1;
};

class TLocalHttpServer : public QObject {
public:
    TLocalHttpServer() {
        QObject::connect(&FServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* Socket = FServer.nextPendingConnection()) {
                Socket->setParent(this);
                QObject::connect(Socket, &QTcpSocket::readyRead, this, [this, Socket] { OnRead(Socket); });
            }
        });
        FServer.listen(QHostAddress::LocalHost, 0);
    }

    bool Listening() const { return FServer.isListening(); }
    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(FServer.serverPort()); }

    void Route(const QByteArray& Path, const TRoute& Route) { FRoutes.insert(Path, Route); }
    void Page(const QByteArray& Path, const QByteArray& Body, int Status = 200) {
        TRoute R;
        R.Status = Status;
        R.Body = Body;
        Route(Path, R);
    }
    // Path answers with Hops redirects in a row (Path, Path/1, ... Path/Hops-1), then Target's route.
    void RedirectChain(const QByteArray& Path, int Hops, const QByteArray& Target) {
        for (int I = 0; I < Hops; ++I) {
            TRoute R;
            R.Status = 302;
            R.Location = I + 1 < Hops ? Path + "/" + QByteArray::number(I + 1) : Target;
            Route(I == 0 ? Path : Path + "/" + QByteArray::number(I), R);
        }
    }

    QList<QByteArray> Paths() const { return FPaths; }
    QList<QByteArray> Agents() const { return FAgents; }

private:
    void OnRead(QTcpSocket* Socket) {
        QByteArray& Pending = FPending[Socket];
        Pending += Socket->readAll();
        for (qsizetype End = Pending.indexOf("\r\n\r\n"); End >= 0; End = Pending.indexOf("\r\n\r\n")) {
            const QList<QByteArray> Lines = Pending.left(End).split('\n');
            Pending.remove(0, End + 4);
            const QList<QByteArray> RequestLine = Lines.value(0).trimmed().split(' ');
            const QByteArray Path = RequestLine.value(1);
            FPaths.append(Path);
            for (const QByteArray& Line : Lines)
                if (Line.toLower().startsWith("user-agent:"))
                    FAgents.append(Line.mid(11).trimmed());
            Answer(Socket, FRoutes.value(Path, TRoute{404, "not here", TRoute::Length, {}, 0, 1}));
        }
    }

    void Answer(QTcpSocket* Socket, const TRoute& R) {
        if (R.Mode == TRoute::Silent)
            return;
        QByteArray Head = "HTTP/1.1 " + QByteArray::number(R.Status) + " " + Reason(R.Status) + "\r\n";
        Head += "Content-Type: application/octet-stream\r\n";
        if (!R.Location.isEmpty())
            Head += "Location: " + R.Location + "\r\n";
        Head += R.Mode == TRoute::Chunked ? QByteArray("Transfer-Encoding: chunked\r\n")
                                          : "Content-Length: " + QByteArray::number(R.Body.size()) + "\r\n";
        Socket->write(Head + "\r\n");
        const QByteArray Body = R.Mode == TRoute::Stall ? R.Body.left(R.StallAfter) : R.Body;
        QList<QByteArray> Writes;
        const qsizetype Piece = qMax<qsizetype>(1, (Body.size() + R.Pieces - 1) / qMax(1, R.Pieces));
        for (qsizetype At = 0; At < Body.size(); At += Piece) {
            const QByteArray Slice = Body.mid(At, Piece);
            Writes.append(R.Mode == TRoute::Chunked ? QByteArray::number(Slice.size(), 16) + "\r\n" + Slice + "\r\n"
                                                    : Slice);
        }
        if (R.Mode == TRoute::Chunked)
            Writes.append("0\r\n\r\n");
        SendLater(Socket, Writes);
    }

    void SendLater(QTcpSocket* Socket, QList<QByteArray> Writes) {
        if (Writes.isEmpty())
            return;
        Socket->write(Writes.takeFirst());
        QPointer<QTcpSocket> Guard(Socket);
        QTimer::singleShot(3, this, [this, Guard, Writes] {
            if (Guard)
                SendLater(Guard, Writes);
        });
    }

    static QByteArray Reason(int Status) {
        switch (Status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
        }
    }

    QTcpServer FServer;
    QHash<QByteArray, TRoute> FRoutes;
    QHash<QTcpSocket*, QByteArray> FPending;
    QList<QByteArray> FPaths;
    QList<QByteArray> FAgents;
};

// A port on which nothing listens: taken from the system, then released.
inline quint16 RefusedPort() {
    QTcpServer Probe;
    Probe.listen(QHostAddress::LocalHost, 0);
    return Probe.serverPort();
}

// Bytes with no short period, so that a slice in the wrong place shows.
inline QByteArray Pattern(int Size) {
    QByteArray Data(Size, Qt::Uninitialized);
    for (int I = 0; I < Size; ++I)
        Data[I] = static_cast<char>(I * 7 + I / 251);
    return Data;
}
