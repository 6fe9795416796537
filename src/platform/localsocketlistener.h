#pragma once

#include <QObject>
#include <QString>

class QLocalSocket;
class QSocketNotifier;
class QTimer;

// A listening local (Unix-domain) stream socket at a path, open to this
// user only. Unlike QLocalServer it outlives a failed accept: when the
// process has no descriptor left, the clients wait in the kernel's queue,
// the failure is reported once, and accepting resumes by itself on a retry
// timer. The socket file stays in place all the while, so clients never
// find the name gone while the server lives.
class LocalSocketListener : public QObject {
    Q_OBJECT
public:
    explicit LocalSocketListener(QObject* parent = nullptr);
    // Closes the socket and removes its file, unless another server has
    // since put its own socket at the path.
    ~LocalSocketListener() override;

    // Binds `path` and listens. A file already at the path is left alone and
    // makes this fail: a live server's socket is never replaced. On failure
    // fills `error` (when given) and returns false.
    bool listen(const QString& path, QString* error = nullptr);
    QString path() const { return m_path; }

    // Pause between a failed accept and the next attempt.
    static constexpr int kRetryMs = 250;

Q_SIGNALS:
    // A client connected. `socket` is connected, a child of the listener;
    // the receiver takes it over (reparents it) and closes it when done.
    void connectionAccepted(QLocalSocket* socket);
    // The first accept of a run of failures failed with `error`; accepting
    // pauses and is retried every kRetryMs.
    void acceptFailed(const QString& error);
    // An accept worked again after acceptFailed(); `failedAttempts` counts
    // the attempts that failed in between.
    void acceptResumed(int failedAttempts, const QString& lastError);

private:
    void onReadable();
    void close();

    QString m_path;
    int m_fd = -1;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_retry = nullptr;
    int m_failedAttempts = 0;
    QString m_lastError;
};
