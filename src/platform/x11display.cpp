#include "platform/x11display.h"

#include <X11/Xlib.h>

#include <mutex>
#include <unordered_map>

namespace x11 {
namespace {

std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}

// Our connections and the last error seen on each.
std::unordered_map<Display*, int>& registry()
{
    static std::unordered_map<Display*, int> r;
    return r;
}

XErrorHandler previousHandler = nullptr;

int recordError(Display* display, XErrorEvent* event)
{
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        auto it = registry().find(display);
        if (it != registry().end()) {
            it->second = event->error_code;
            return 0;
        }
    }
    // Someone else's connection (Qt's, for one): keep its own behaviour.
    return previousHandler ? previousHandler(display, event) : 0;
}

void installOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // libX11 1.8 initialises threads by itself; older ones need this
        // before any other call on a connection shared between threads.
        XInitThreads();
        previousHandler = XSetErrorHandler(recordError);
    });
}

} // namespace

Display* openDisplay()
{
    installOnce();
    Display* display = XOpenDisplay(nullptr);
    if (display) {
        std::lock_guard<std::mutex> lock(registryMutex());
        registry()[display] = 0;
    }
    return display;
}

void closeDisplay(Display* display)
{
    if (!display)
        return;
    // Errors of requests still in flight land while the connection is ours;
    // after the erase the address may be handed out again.
    XSync(display, False);
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        registry().erase(display);
    }
    XCloseDisplay(display);
}

int takeError(Display* display)
{
    XSync(display, False);
    std::lock_guard<std::mutex> lock(registryMutex());
    auto it = registry().find(display);
    if (it == registry().end())
        return 0;
    const int code = it->second;
    it->second = 0;
    return code;
}

} // namespace x11
