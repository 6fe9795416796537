#include "platform/windowstate.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    if (!r)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = r->atom;
    std::free(r);
    return a;
}

const char* stateName(NetWmState s)
{
    return s == NetWmState::Above ? "_NET_WM_STATE_ABOVE" : "_NET_WM_STATE_SKIP_TASKBAR";
}

QList<xcb_atom_t> readStates(xcb_connection_t* c, xcb_window_t w, xcb_atom_t netState)
{
    QList<xcb_atom_t> out;
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, netState, XCB_ATOM_ATOM, 0, 64), nullptr);
    if (!r)
        return out;
    if (r->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
        const int n = xcb_get_property_value_length(r) / 4;
        for (int i = 0; i < n; ++i)
            out.append(atoms[i]);
    }
    std::free(r);
    return out;
}

xcb_window_t rootOf(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

} // namespace

bool setNetWmState(WId window, NetWmState state, bool on)
{
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    const xcb_window_t w = xcb_window_t(window);
    const xcb_atom_t netState = atom(c, "_NET_WM_STATE");
    const xcb_atom_t value = atom(c, stateName(state));
    if (!netState || !value)
        return false;

    bool mapped = false;
    if (xcb_get_window_attributes_reply_t* a =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr)) {
        mapped = a->map_state != XCB_MAP_STATE_UNMAPPED;
        std::free(a);
    }
    if (mapped) {
        xcb_client_message_event_t ev;
        std::memset(&ev, 0, sizeof ev);
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = w;
        ev.type = netState;
        ev.data.data32[0] = on ? 1 : 0;
        ev.data.data32[1] = value;
        ev.data.data32[3] = 1; // a normal application
        xcb_send_event(c, 0, rootOf(c),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&ev));
    } else {
        QList<xcb_atom_t> states = readStates(c, w, netState);
        states.removeAll(value);
        if (on)
            states.append(value);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netState, XCB_ATOM_ATOM, 32, uint32_t(states.size()),
                            states.constData());
    }
    xcb_flush(c);
    return true;
}

bool hasNetWmState(WId window, NetWmState state)
{
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    const xcb_atom_t value = atom(c, stateName(state));
    return value && readStates(c, xcb_window_t(window), atom(c, "_NET_WM_STATE")).contains(value);
}

QRect placedWindowGeometry(WId window)
{
    xcb_connection_t* c = connection();
    if (!c || !window)
        return QRect();
    const xcb_window_t w = xcb_window_t(window);
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (!g)
        return QRect();
    const QSize size(g->width, g->height);
    xcb_translate_coordinates_reply_t* t =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, g->root, 0, 0), nullptr);
    std::free(g);
    if (!t)
        return QRect();
    const QRect out(QPoint(t->dst_x, t->dst_y), size);
    std::free(t);
    return out;
}
