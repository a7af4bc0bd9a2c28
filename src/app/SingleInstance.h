#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running program per user: two processes saving settings.dt or hiding the same path at once
// would lose changes. The first start holds a lock file and listens on a local socket, both in the
// user's private runtime folder; a later start finds the lock taken, asks the first to come to the
// front, and ends.
class TSingleInstance : public QObject {
    Q_OBJECT

public:
    // Name distinguishes independent programs (tests); Folder defaults to the runtime folder.
    explicit TSingleInstance(const QString& Name = QStringLiteral("nvlkelvarn"), const QString& Folder = QString());
    ~TSingleInstance() override;

    // True when this process is the first: it then listens for later starts. False when another
    // process holds the lock; that process has been asked to come to the front (when it answers).
    bool Acquire();

signals:
    // A later start asked this one to show itself.
    void ActivationRequested();

private:
    QString FFolder;
    QString FName;
    std::unique_ptr<QLockFile> FLock;
    QLocalServer* FServer = nullptr;
};
