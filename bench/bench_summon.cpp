// Summon latency: from the hot key sent with XTest to the hidden panel
// mapped and painted, p50 and p95 over 50 presses.
#include "panel/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void sendKey(xcb_connection_t* c, xcb_keycode_t code, bool press)
{
    xcb_test_fake_input(c, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

} // namespace

int main(int argc, char** argv)
{
    // A data root of its own: the panel writes its files there.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8() + "/data");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8() + "/config");
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "bench_summon: needs an X server\n");
        return 1;
    }
    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
    auto code = [syms](xcb_keysym_t s) {
        xcb_keycode_t* k = xcb_key_symbols_get_keycode(syms, s);
        const xcb_keycode_t out = k ? k[0] : 0;
        std::free(k);
        return out;
    };
    const xcb_keycode_t ctrl = code(0xffe3), alt = code(0xffe9), g = code('g');

    MainWindow w;
    AppSettings s = w.currentSettings();
    s.summonHotkey = QStringLiteral("Ctrl+Alt+G");
    s.closeToTray = false;
    s.minimizeToTray = false;
    w.setSettingsAndApply(s);
    if (!w.summonHotkeyRegistered()) {
        std::fprintf(stderr, "bench_summon: hot key not registered\n");
        return 1;
    }
    PaintWatch watch;
    w.installEventFilter(&watch);

    QList<double> ms;
    for (int i = 0; i < 50; ++i) {
        w.hide();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 60)
            app.processEvents(QEventLoop::AllEvents, 10);
        watch.painted = false;
        QElapsedTimer clock;
        clock.start();
        sendKey(c, ctrl, true);
        sendKey(c, alt, true);
        sendKey(c, g, true);
        sendKey(c, g, false);
        sendKey(c, alt, false);
        sendKey(c, ctrl, false);
        xcb_flush(c);
        while (!(watch.painted && w.isVisible()) && clock.elapsed() < 2000)
            app.processEvents(QEventLoop::AllEvents, 5);
        ms.append(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("summon latency p50: %.1f ms\n", ms[ms.size() / 2]);
    std::printf("summon latency p95: %.1f ms\n", ms[int(ms.size() * 0.95)]);
    std::printf("summon presses: %d count\n", int(ms.size()));
    xcb_key_symbols_free(syms);
    xcb_disconnect(c);
    return 0;
}
