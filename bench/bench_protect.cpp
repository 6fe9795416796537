// Protection password checks: what one 100,000-round check costs, and how
// long the GUI thread goes without running its event loop while the
// password dialog and the lock screen check off the thread. A 1 ms timer
// stands in for the frames the window must keep painting; its longest gap
// is the stall.
#include "protect/lockdialog.h"
#include "protect/passwordguard.h"
#include "protect/passwordhash.h"
#include "protect/uilockoverlay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// Runs the event loop until `done` holds, returning the longest interval
// between two ticks of a 1 ms timer.
template <typename Done>
double longestGap(Done done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    worst = std::max(worst, clock.nsecsElapsed() - last);
    return worst / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir sandbox;
    for (const char* var : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(var, QFile::encodeName(sandbox.path() + QLatin1Char('/') + QString::fromLatin1(var)));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString stored = hashPassword(QStringLiteral("correct horse"));
    QList<double> checks;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        if (!verifyPassword(stored, QStringLiteral("correct horse")))
            return 1;
        checks.append(t.nsecsElapsed() / 1e6);
    }
    std::printf("password check (100000 rounds): %.1f ms\n", median(checks));

    // Baseline: the same loop with nothing running beside it.
    QElapsedTimer idle;
    idle.start();
    const double idleGap = longestGap([&] { return idle.elapsed() >= 500; });

    double worstGap = 0;
    for (int i = 0; i < 5; ++i) {
        LockDialog dialog(LockDialog::Verify);
        dialog.setStoredHash(stored);
        dialog.show();
        QCoreApplication::processEvents();
        // The right password: wrong ones soon meet the guard's wait instead
        // of a check.
        dialog.firstField()->setText(QStringLiteral("correct horse"));
        dialog.tryAccept(false);
        if (!dialog.isBusy())
            return 1;
        worstGap = std::max(worstGap, longestGap([&] { return !dialog.isBusy(); }));
    }
    std::printf("gui thread longest stall during a check: %.1f ms\n", worstGap);

    // The lock screen, answered the way the panel answers it.
    QWidget host;
    host.resize(900, 560);
    auto* overlay = new UiLockOverlay(&host);
    overlay->setGeometry(host.rect());
    overlay->checkPassword = [&host, stored](const QString& p, UiLockOverlay::CheckAnswer answer) {
        checkProtectionPassword(stored, p, &host, answer);
    };
    host.show();
    QCoreApplication::processEvents();
    double worstLockGap = 0;
    for (int i = 0; i < 5; ++i) {
        overlay->showPasswordInput(false);
        overlay->passwordEdit()->setText(QStringLiteral("correct horse"));
        bool answered = false;
        overlay->onUnlocked = [&] { answered = true; };
        overlay->submitPassword();
        worstLockGap = std::max(worstLockGap, longestGap([&] { return answered; }));
        QElapsedTimer settle;
        settle.start();
        while (overlay->isFadingOut() && settle.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        overlay->show();
    }
    std::printf("gui thread longest stall during a lock screen check: %.1f ms\n", worstLockGap);
    std::printf("gui thread longest stall idle: %.1f ms\n", idleGap);
    std::printf("ratio gui stall during a check to idle: %.2f\n", idleGap > 0 ? worstGap / idleGap : 0.0);
    std::printf("ratio gui stall during a lock screen check to idle: %.2f\n",
                idleGap > 0 ? worstLockGap / idleGap : 0.0);
    return 0;
}
