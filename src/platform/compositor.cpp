#include "platform/compositor.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>

// Listens for changes of the compositor selection's owner (XFixes selection
// notify); without XFixes the answer is read once and then kept.
class Compositor::Watch final : public QAbstractNativeEventFilter {
public:
    Watch(Compositor* owner, xcb_connection_t* c) : m_owner(owner), m_c(c)
    {
        m_selection = internSelection();
        if (!m_selection)
            return;
        m_owner->m_screen = readOwner();

        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(m_c, &xcb_xfixes_id);
        if (!ext || !ext->present)
            return;
        m_eventBase = ext->first_event;
        // The version handshake is required before any other XFixes request.
        std::free(xcb_xfixes_query_version_reply(m_c, xcb_xfixes_query_version(m_c, 5, 0), nullptr));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        xcb_window_t window = xcb_generate_id(m_c);
        // A window of our own receives the notifications, so that they never
        // reach Qt's windows or clash with another listener on the root.
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        m_window = window;
        xcb_xfixes_select_selection_input(m_c, m_window, m_selection,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                              | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(m_c);
        QCoreApplication::instance()->installNativeEventFilter(this);
        // A compositor that took the selection between the first read and
        // the subscription would otherwise go unnoticed.
        m_owner->m_screen = readOwner();
    }

    ~Watch() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (!m_eventBase || eventType != "xcb_generic_event_t")
            return false;
        const auto* ev = static_cast<const xcb_generic_event_t*>(message);
        if ((ev->response_type & 0x7f) != m_eventBase + XCB_XFIXES_SELECTION_NOTIFY)
            return false;
        const auto* sn = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(ev);
        if (sn->selection != m_selection)
            return false;
        m_owner->setScreenAnswer(sn->owner != XCB_NONE);
        return false;
    }

private:
    // The selection of the screen the application's display opened by
    // default: compositors announce themselves per screen.
    xcb_atom_t internSelection()
    {
        int screen = 0;
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (Display* d = x11->display())
                screen = DefaultScreen(d);
        }
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(name.size()), name.constData()), nullptr);
        if (!r)
            return XCB_ATOM_NONE;
        const xcb_atom_t a = r->atom;
        std::free(r);
        return a;
    }

    bool readOwner()
    {
        xcb_get_selection_owner_reply_t* r =
            xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, m_selection), nullptr);
        if (!r)
            return false;
        const bool owned = r->owner != XCB_NONE;
        std::free(r);
        return owned;
    }

    Compositor* m_owner;
    xcb_connection_t* m_c;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    xcb_window_t m_window = XCB_NONE;
    uint8_t m_eventBase = 0;
};

Compositor::Compositor(QObject* parent) : QObject(parent)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection())
        m_watch = std::make_unique<Watch>(this, x11->connection());
}

Compositor::~Compositor() = default;

Compositor& Compositor::instance()
{
    static Compositor* one = nullptr;
    if (!one) {
        one = new Compositor(QCoreApplication::instance());
        QObject::connect(one, &QObject::destroyed, [] {
            one = nullptr;
        });
    }
    return *one;
}

bool Compositor::active() const { return m_override.value_or(m_screen); }

void Compositor::setOverride(std::optional<bool> active)
{
    const bool before = this->active();
    m_override = active;
    if (this->active() != before)
        Q_EMIT activeChanged(this->active());
}

void Compositor::setScreenAnswer(bool active)
{
    const bool before = this->active();
    m_screen = active;
    if (this->active() != before)
        Q_EMIT activeChanged(this->active());
}

bool compositorActive() { return Compositor::instance().active(); }
