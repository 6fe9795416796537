#include "main/tempcleanup.h"

#include "backup/backupengine.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <thread>

namespace {

// Shared with the cleaning thread, hence atomic: the GUI thread writes the
// stop flag and polls the done flag, the thread does the reverse.
std::atomic_bool g_stop { false };
std::atomic_bool g_done { false };
std::thread g_thread;

constexpr int kStopWaitMs = 2000;
constexpr int kStopPollMs = 25;

} // namespace

void startTempCleanupThread()
{
    if (g_thread.joinable())
        return;
    g_stop = false;
    g_done = false;
    g_thread = std::thread([] {
        BackupEngine::cleanupTempLeftovers(QString(), &g_stop);
        g_done = true;
    });
}

void stopTempCleanupThread()
{
    g_stop = true;
    if (!g_thread.joinable())
        return;
    QElapsedTimer clock;
    clock.start();
    while (!g_done && clock.elapsed() < kStopWaitMs)
        QThread::msleep(kStopPollMs);
    if (g_done) {
        g_thread.join();
    } else {
        qWarning() << "temp cleanup thread still running after 2s; detach before hard exit";
        g_thread.detach();
    }
}
