#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace {

constexpr auto ActivateMessage = "activate\n";

QString RuntimeFolder() {
    // $XDG_RUNTIME_DIR, or a private folder Qt makes for the user (mode 0700).
    QString Folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (Folder.isEmpty())
        Folder = QDir::tempPath() + QStringLiteral("/nvlkelvarn-") + QString::number(getuid());
    QDir().mkpath(Folder);
    return Folder;
}

} // namespace

TSingleInstance::TSingleInstance(const QString& Name, const QString& Folder)
    : FFolder(Folder.isEmpty() ? RuntimeFolder() : Folder), FName(Name) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Acquire() {
    const QString Base = FFolder + QLatin1Char('/') + FName;
    FLock = std::make_unique<QLockFile>(Base + QStringLiteral(".lock"));
    // A lock left by a crashed process names a dead PID and is taken over.
    FLock->setStaleLockTime(0);
    if (FLock->tryLock(0)) {
        // The socket of a crashed run may still be there; nobody listens on it.
        QLocalServer::removeServer(Base + QStringLiteral(".socket"));
        FServer = new QLocalServer(this);
        FServer->setSocketOptions(QLocalServer::UserAccessOption);
        if (FServer->listen(Base + QStringLiteral(".socket"))) {
            connect(FServer, &QLocalServer::newConnection, this, [this] {
                while (QLocalSocket* Peer = FServer->nextPendingConnection()) {
                    connect(Peer, &QLocalSocket::disconnected, Peer, &QObject::deleteLater);
                    connect(Peer, &QLocalSocket::readyRead, this, [this, Peer] {
                        if (Peer->readAll().contains("activate"))
                            emit ActivationRequested();
                    });
                }
            });
        }
        return true;
    }
    FLock.reset();
    // The first process may still be starting: give its socket a moment to appear.
    QDeadlineTimer Deadline(3000);
    while (!Deadline.hasExpired()) {
        QLocalSocket Socket;
        Socket.connectToServer(Base + QStringLiteral(".socket"));
        if (Socket.waitForConnected(200)) {
            Socket.write(ActivateMessage);
            Socket.waitForBytesWritten(1000);
            Socket.disconnectFromServer();
            break;
        }
        QThread::msleep(100);
    }
    return false;
}
