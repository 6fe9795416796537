#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the event
// loop of the thread that created the object, so that a logout or `kill`
// runs the same orderly quit as the user's own close. The signal handler
// itself only writes one byte to a pipe (the only safe thing it can do).
class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; at most one live instance per process.
    // Returns null (and installs nothing) when the pipe cannot be made or an
    // instance is already installed.
    static QuitSignals* install(QObject* parent = nullptr);
    ~QuitSignals() override;

Q_SIGNALS:
    // `signalNumber` is the POSIX number of the signal received.
    void quitRequested(int signalNumber);

private:
    explicit QuitSignals(int readFd, QObject* parent);
    void onReadable();

    int m_readFd;
    QSocketNotifier* m_notifier;
};
