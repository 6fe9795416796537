#include "platform/pointerbuttons.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

bool queryGlobalMouseButtons(Qt::MouseButtons* buttons)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* conn = x11 ? x11->connection() : nullptr;
    if (!conn)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    if (!screen)
        return false;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(conn, xcb_query_pointer(conn, screen->root), nullptr);
    if (!reply)
        return false;
    Qt::MouseButtons b;
    if (reply->mask & XCB_BUTTON_MASK_1)
        b |= Qt::LeftButton;
    if (reply->mask & XCB_BUTTON_MASK_2)
        b |= Qt::MiddleButton;
    if (reply->mask & XCB_BUTTON_MASK_3)
        b |= Qt::RightButton;
    std::free(reply);
    *buttons = b;
    return true;
}
