#include "platform/inputactivity.h"

#include "platform/x11display.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/scrnsaver.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace {

qint64 monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Raw events come from every device, before any grab or focus decides
// where the cooked events go, so typing into another program counts too.
class RawEventActivity : public InputActivity {
public:
    RawEventActivity(Display* display, int opcode) : m_display(display), m_opcode(opcode)
    {
        const qint64 now = monotonicMs();
        m_lastKeyboard.store(now);
        m_lastMouse.store(now);
        if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            m_wake[0] = m_wake[1] = -1;
        m_reader = std::thread([this] { readEvents(); });
    }

    ~RawEventActivity() override
    {
        m_stop.store(true);
        if (m_wake[1] >= 0) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
        }
        m_reader.join();
        for (int fd : m_wake)
            if (fd >= 0)
                ::close(fd);
        x11::closeDisplay(m_display);
    }

    qint64 idleMs(Kind kind) const override
    {
        const qint64 now = monotonicMs();
        const qint64 keyboard = now - m_lastKeyboard.load();
        const qint64 mouse = now - m_lastMouse.load();
        switch (kind) {
        case Kind::Keyboard: return keyboard;
        case Kind::Mouse: return mouse;
        case Kind::Any: break;
        }
        return qMin(keyboard, mouse);
    }

    bool tellsKindsApart() const override { return true; }

private:
    void readEvents()
    {
        pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const nfds_t count = m_wake[0] >= 0 ? 2 : 1;
        while (!m_stop.load()) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.xcookie.type != GenericEvent || event.xcookie.extension != m_opcode)
                    continue;
                // Only the kind matters, which the cookie carries without
                // fetching the event data.
                switch (event.xcookie.evtype) {
                case XI_RawKeyPress:
                case XI_RawKeyRelease:
                    m_lastKeyboard.store(monotonicMs());
                    break;
                case XI_RawButtonPress:
                case XI_RawButtonRelease:
                case XI_RawMotion:
                    m_lastMouse.store(monotonicMs());
                    break;
                default:
                    break;
                }
            }
            // Without the wake pipe the stop flag is seen within a second.
            if (::poll(fds, count, count == 2 ? -1 : 1000) < 0 && errno != EINTR)
                break;
        }
    }

    Display* m_display;
    int m_opcode;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_lastKeyboard{0};
    std::atomic<qint64> m_lastMouse{0};
    std::thread m_reader;
};

class ScreenSaverActivity : public InputActivity {
public:
    explicit ScreenSaverActivity(Display* display) : m_display(display), m_info(XScreenSaverAllocInfo()) {}
    ~ScreenSaverActivity() override
    {
        XFree(m_info);
        x11::closeDisplay(m_display);
    }

    qint64 idleMs(Kind) const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_info || !XScreenSaverQueryInfo(m_display, DefaultRootWindow(m_display), m_info))
            return -1;
        return qint64(m_info->idle);
    }

    bool tellsKindsApart() const override { return false; }

private:
    Display* m_display;
    XScreenSaverInfo* m_info;
    mutable std::mutex m_mutex;
};

std::unique_ptr<InputActivity> watchRawEvents(Display* display)
{
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error))
        return nullptr;
    int major = 2;
    int minor = 0;
    if (XIQueryVersion(display, &major, &minor) != Success || major < 2)
        return nullptr;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, int(sizeof(bits)), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    if (x11::takeError(display) != 0)
        return nullptr;
    return std::make_unique<RawEventActivity>(display, opcode);
}

} // namespace

std::unique_ptr<InputActivity> watchInputActivity(bool screenSaverOnly)
{
    if (!screenSaverOnly) {
        if (Display* display = x11::openDisplay()) {
            if (auto raw = watchRawEvents(display))
                return raw;
            x11::closeDisplay(display);
        }
    }
    Display* display = x11::openDisplay();
    if (!display)
        return nullptr;
    int event = 0;
    int error = 0;
    if (!XScreenSaverQueryExtension(display, &event, &error)) {
        x11::closeDisplay(display);
        return nullptr;
    }
    return std::make_unique<ScreenSaverActivity>(display);
}
