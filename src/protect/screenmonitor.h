#pragma once

#include <QObject>

// The process-wide screen recorder. Only its life-cycle calls exist so far;
// recording itself arrives with the protection subsystem.
class ScreenMonitor : public QObject {
    Q_OBJECT
public:
    // The one monitor of the process, made on first use; never fails.
    static ScreenMonitor* instance();

    // Stops recording and releases what recording holds; safe to call when
    // the monitor never ran, and more than once.
    Q_INVOKABLE void stop();

    bool isRunning() const { return m_running; }

Q_SIGNALS:
    void diskFull();

private:
    ScreenMonitor() = default;
    bool m_running = false;
};
