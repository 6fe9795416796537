// How long the support chat holds the GUI thread while a poll brings 500
// messages of 100 KB each (stand-in service, real network code, offscreen),
// beside the time the same texts take to lay out untrimmed: bench_chat [runs]
#include "account/supportchat.h"
#include "account/supportchatdialog.h"
#include "app/theme.h"
#include "standin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kMessages = 500;
constexpr int kTextBytes = 100000;

// The longest gap between ticks of a 5 ms timer until `done` holds.
qint64 longestStall(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return worst;
}

} // namespace

int main(int argc, char** argv)
{
    // The device identity the chat sends is kept under a home of its own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The stand-in service lives in the source tree.
    if (qEnvironmentVariableIsEmpty("QY_SOURCE_DIR"))
        qputenv("QY_SOURCE_DIR", QY_SOURCE_ROOT);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 1;

    testsupport::StandInService svc;
    QString error;
    if (!svc.start(&error)) {
        std::fprintf(stderr, "stand-in: %s\n", qPrintable(error));
        return 1;
    }
    qint64 stall = 0;
    for (int run = 0; run < runs; ++run) {
        const QString user = QStringLiteral("bench%1").arg(run);
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), user},
                                                    {QStringLiteral("password"), QStringLiteral("pw")},
                                                    {QStringLiteral("max_devices"), 5}});
        const QString token = svc.control(QStringLiteral("account.sign_in"), {{QStringLiteral("username"), user}})
                                  .value(QStringLiteral("token"))
                                  .toString();
        svc.control(QStringLiteral("support.flood"), {{QStringLiteral("username"), user},
                                                      {QStringLiteral("count"), kMessages},
                                                      {QStringLiteral("text_bytes"), kTextBytes}});
        SupportChatDialog dlg;
        dlg.setSession(token, user);
        dlg.openAt(QPoint(40, 40));
        stall = std::max(stall, longestStall([&] { return dlg.conversation().size() >= kMessages; }, 120000));
        if (dlg.conversation().size() < kMessages) {
            std::fprintf(stderr, "the conversation did not arrive\n");
            return 1;
        }
        stall = std::max(stall, longestStall([] { return true; }, 0));
        dlg.repaint();
    }

    // The same texts laid out whole, as they were before a bubble showed
    // only the start of a very long one.
    QList<ChatMessage> whole;
    for (int n = 0; n < kMessages; ++n) {
        ChatMessage m;
        m.text = QString::number(n) + QLatin1Char(' ') + QString(kTextBytes, QLatin1Char('x'));
        whole << m;
    }
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    QElapsedTimer t;
    t.start();
    const ChatLayout layout = layoutChatMessages(whole, font, {});
    const qint64 untrimmed = t.elapsed();

    std::printf("chat longest stall: %lld ms\n", static_cast<long long>(stall));
    std::printf("chat untrimmed layout: %lld ms\n", static_cast<long long>(untrimmed));
    std::printf("ratio chat longest stall to untrimmed layout: %.3f\n",
                untrimmed > 0 ? double(stall) / double(untrimmed) : 0.0);
    return layout.contentHeight > 0 ? 0 : 1;
}
