#include "platform/x11windowsystem.h"

#include "platform/process.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

const char kWakeAtomName[] = "_TARNAVELPANEL_WAKE";

template <typename T>
struct Reply {
    T* p = nullptr;
    explicit Reply(T* r) : p(r) {}
    ~Reply() { std::free(p); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class WakeFilter final : public QObject, public QAbstractNativeEventFilter, public WindowSystem::WakeWatch {
public:
    WakeFilter(xcb_window_t window, xcb_atom_t atom, quint32 code, std::function<void()> onWake)
        : m_window(window), m_atom(atom), m_code(code), m_onWake(std::move(onWake))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WakeFilter() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* ev = static_cast<const xcb_generic_event_t*>(message);
        if ((ev->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* cm = reinterpret_cast<const xcb_client_message_event_t*>(ev);
        if (cm->type != m_atom || cm->format != 32 || cm->window != m_window || cm->data.data32[0] != m_code)
            return false;
        // Leave the native event dispatch before touching window state.
        QTimer::singleShot(0, this, [this] { m_onWake(); });
        return true;
    }

private:
    xcb_window_t m_window;
    xcb_atom_t m_atom;
    quint32 m_code;
    std::function<void()> m_onWake;
};

class X11WindowSystem final : public WindowSystem {
public:
    explicit X11WindowSystem(xcb_connection_t* c) : m_c(c) {}

    bool available() const override { return true; }

    bool setWindowMarker(WId window, const QString& name) override
    {
        const xcb_atom_t atom = intern(name.toLatin1());
        if (!atom || !window)
            return false;
        const quint32 one = 1;
        auto cookie = xcb_change_property_checked(m_c, XCB_PROP_MODE_REPLACE, xcb_window_t(window), atom,
                                                  XCB_ATOM_CARDINAL, 32, 1, &one);
        return checked(cookie);
    }

    WId findPanelWindow(const QString& marker, const QString& title) override
    {
        const xcb_atom_t markerAtom = intern(marker.toLatin1(), true);
        const std::vector<xcb_window_t> windows = clientWindows();
        // Any client may set the marker or the title on its windows; only
        // our own panel may be woken, so both lookups check the owner.
        if (markerAtom) {
            for (xcb_window_t w : windows) {
                if (cardinal(w, markerAtom, XCB_ATOM_CARDINAL).value_or(0) != 0 && isOurs(w))
                    return w;
            }
        }
        const xcb_atom_t nameAtom = intern("_NET_WM_NAME");
        const xcb_atom_t utf8 = intern("UTF8_STRING");
        const QByteArray wanted = title.toUtf8();
        for (xcb_window_t w : windows) {
            if (property(w, nameAtom, utf8) == wanted && isOurs(w))
                return w;
        }
        return 0;
    }

    bool postWake(WId window, quint32 code) override
    {
        const xcb_atom_t atom = intern(kWakeAtomName);
        if (!atom || !window)
            return false;
        xcb_client_message_event_t ev {};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = xcb_window_t(window);
        ev.type = atom;
        ev.data.data32[0] = code;
        // An empty event mask delivers the event to the window's own client.
        auto cookie = xcb_send_event_checked(m_c, 0, xcb_window_t(window), XCB_EVENT_MASK_NO_EVENT,
                                             reinterpret_cast<const char*>(&ev));
        return checked(cookie);
    }

    std::unique_ptr<WakeWatch> watchWake(WId window, quint32 code, std::function<void()> onWake) override
    {
        return std::make_unique<WakeFilter>(xcb_window_t(window), intern(kWakeAtomName), code, std::move(onWake));
    }

private:
    xcb_atom_t intern(const QByteArray& name, bool onlyIfExists = false)
    {
        Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, onlyIfExists, uint16_t(name.size()), name.constData()), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    bool checked(xcb_void_cookie_t cookie)
    {
        xcb_generic_error_t* err = xcb_request_check(m_c, cookie);
        xcb_flush(m_c);
        if (err) {
            std::free(err);
            return false;
        }
        return true;
    }

    QByteArray property(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, uint32_t maxWords = 1024)
    {
        if (!prop)
            return {};
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, prop, type, 0, maxWords), nullptr));
        if (!r || r->type != type)
            return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(r.p)),
                          xcb_get_property_value_length(r.p));
    }

    std::optional<quint32> cardinal(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type)
    {
        const QByteArray v = property(w, prop, type, 1);
        if (v.size() < 4)
            return std::nullopt;
        quint32 value;
        std::memcpy(&value, v.constData(), 4);
        return value;
    }

    // The window's _NET_WM_PID names a process of this user running this
    // very executable.
    bool isOurs(xcb_window_t w)
    {
        const auto pid = cardinal(w, intern("_NET_WM_PID"), XCB_ATOM_CARDINAL);
        return pid && isOwnExecutableOfThisUser(*pid);
    }

    bool hasProperty(xcb_window_t w, xcb_atom_t prop)
    {
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
        return r && r->type != XCB_ATOM_NONE;
    }

    std::vector<xcb_window_t> children(xcb_window_t w)
    {
        Reply<xcb_query_tree_reply_t> r(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, w), nullptr));
        if (!r)
            return {};
        const xcb_window_t* c = xcb_query_tree_children(r.p);
        return std::vector<xcb_window_t>(c, c + xcb_query_tree_children_length(r.p));
    }

    // The window below `w` (itself included) that a window manager marked
    // with WM_STATE; 0 when none within a few levels.
    xcb_window_t clientBelow(xcb_window_t w, xcb_atom_t wmState, int depth)
    {
        if (hasProperty(w, wmState))
            return w;
        if (depth == 0)
            return 0;
        for (xcb_window_t c : children(w)) {
            if (xcb_window_t found = clientBelow(c, wmState, depth - 1))
                return found;
        }
        return 0;
    }

    std::vector<xcb_window_t> clientWindows()
    {
        std::vector<xcb_window_t> out;
        const xcb_atom_t clientList = intern("_NET_CLIENT_LIST", true);
        const xcb_atom_t wmState = intern("WM_STATE", true);
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(m_c)); it.rem; xcb_screen_next(&it)) {
            const xcb_window_t root = it.data->root;
            const QByteArray list = property(root, clientList, XCB_ATOM_WINDOW, 65536);
            if (list.size() >= 4) {
                const auto* ids = reinterpret_cast<const xcb_window_t*>(list.constData());
                out.insert(out.end(), ids, ids + list.size() / 4);
                continue;
            }
            // Without a window manager nothing carries WM_STATE: the
            // top-level windows are then the clients themselves.
            for (xcb_window_t top : children(root)) {
                const xcb_window_t client = wmState ? clientBelow(top, wmState, 3) : 0;
                out.push_back(client ? client : top);
            }
        }
        return out;
    }

    xcb_connection_t* m_c;
};

} // namespace

std::unique_ptr<WindowSystem> createX11WindowSystem()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    return std::make_unique<X11WindowSystem>(x11->connection());
}
