#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace dvr::player {

// Hands a file named on a second start to the copy of the program that already runs. The running
// copy listens on a local socket named after its single-instance lock (so it lives in the same
// private folder); the second start sends the file's absolute path and ends once the running copy
// has taken it. Both ends check the user id of the other (SO_PEERCRED) and refuse any other user.
class FileHandOff : public QObject {
    Q_OBJECT
public:
    // The socket path that belongs to the lock file at `lockPath`.
    static QString socketPath(const QString& lockPath);

    // This process's user id: the only peer either end accepts (tests pass another to play a stranger).
    static unsigned currentUserId();

    explicit FileHandOff(const QString& lockPath, QObject* parent = nullptr,
                         unsigned peerUserId = currentUserId());
    ~FileHandOff() override;

    // The running copy starts listening; any socket left behind is replaced (the caller holds the
    // lock, so no other copy listens). False when the socket cannot be made.
    bool listen();

    // The second start: sends `filePath` and waits up to `timeoutMs` for the running copy to take
    // it. Blocking; needs no event loop. False when nobody listens, the listener is not of user
    // `peerUserId`, or nothing was confirmed.
    static bool send(const QString& lockPath, const QString& filePath, int timeoutMs,
                     unsigned peerUserId = currentUserId());

Q_SIGNALS:
    // A second start handed over this file.
    void fileReceived(const QString& filePath);

private:
    void onNewConnection();

    QString m_socketPath;
    unsigned m_peerUserId;
    QLocalServer* m_server = nullptr;
};

}  // namespace dvr::player
