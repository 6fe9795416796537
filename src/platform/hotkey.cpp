#include "platform/hotkey.h"

#include <QSocketNotifier>
#include <QtGlobal>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <vector>

namespace {

// X key symbols of the keys the panel accepts (letters as their lower-case
// symbols, as the keyboard map lists them first).
xcb_keysym_t keysymOf(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return xcb_keysym_t('a' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return xcb_keysym_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return xcb_keysym_t(0xffbe + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Apostrophe: return 0x27;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return 0x3d;
    case Qt::Key_Comma: return 0x2c;
    case Qt::Key_Minus: return 0x2d;
    case Qt::Key_Period: return 0x2e;
    case Qt::Key_Slash: return 0x2f;
    case Qt::Key_Semicolon: return 0x3b;
    case Qt::Key_BracketLeft: return 0x5b;
    case Qt::Key_Backslash: return 0x5c;
    case Qt::Key_BracketRight: return 0x5d;
    case Qt::Key_QuoteLeft: return 0x60;
    case Qt::Key_Escape: return 0xff1b;
    case Qt::Key_Tab: return 0xff09;
    case Qt::Key_Backspace: return 0xff08;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0xff0d;
    case Qt::Key_Insert: return 0xff63;
    case Qt::Key_Delete: return 0xffff;
    case Qt::Key_Home: return 0xff50;
    case Qt::Key_End: return 0xff57;
    case Qt::Key_Left: return 0xff51;
    case Qt::Key_Up: return 0xff52;
    case Qt::Key_Right: return 0xff53;
    case Qt::Key_Down: return 0xff54;
    case Qt::Key_PageUp: return 0xff55;
    case Qt::Key_PageDown: return 0xff56;
    default: return 0;
    }
}

constexpr xcb_keysym_t kNumLockSym = 0xff7f;

class X11GlobalHotkey final : public GlobalHotkey {
public:
    X11GlobalHotkey(xcb_connection_t* c, std::function<void()> onPressed)
        : m_c(c), m_onPressed(std::move(onPressed))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        m_symbols = xcb_key_symbols_alloc(c);
        m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { drain(); });
    }

    ~X11GlobalHotkey() override
    {
        release();
        m_notifier.reset();
        if (m_symbols)
            xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_c);
    }

    bool grab(Qt::Key key, Qt::KeyboardModifiers modifiers) override
    {
        release();
        const xcb_keysym_t sym = keysymOf(key);
        if (!sym || !m_symbols)
            return false;
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, sym);
        if (!codes)
            return false;
        const xcb_keycode_t code = codes[0];
        std::free(codes);
        if (code == XCB_NO_SYMBOL)
            return false;

        uint16_t mods = 0;
        if (modifiers & Qt::ShiftModifier)
            mods |= XCB_MOD_MASK_SHIFT;
        if (modifiers & Qt::ControlModifier)
            mods |= XCB_MOD_MASK_CONTROL;
        if (modifiers & Qt::AltModifier)
            mods |= XCB_MOD_MASK_1;
        if (modifiers & Qt::MetaModifier)
            mods |= XCB_MOD_MASK_4;
        // The grab matches the exact modifier state, so the lock keys each
        // need a grab of their own.
        const uint16_t numLock = numLockMask();
        const uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLock, uint16_t(XCB_MOD_MASK_LOCK | numLock)};
        std::vector<uint16_t> done;
        for (uint16_t extra : variants) {
            const uint16_t m = mods | extra;
            bool seen = false;
            for (uint16_t d : done)
                seen = seen || d == m;
            if (seen)
                continue;
            xcb_generic_error_t* err = xcb_request_check(
                m_c, xcb_grab_key_checked(m_c, 1, m_root, m, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            if (err) {
                std::free(err);
                for (uint16_t d : done)
                    xcb_ungrab_key(m_c, code, m_root, d);
                xcb_flush(m_c);
                return false;
            }
            done.push_back(m);
        }
        m_code = code;
        m_grabbedMods = done;
        m_held = false;
        drain();
        return true;
    }

    void release() override
    {
        if (!m_code)
            return;
        for (uint16_t m : m_grabbedMods)
            xcb_ungrab_key(m_c, m_code, m_root, m);
        xcb_flush(m_c);
        m_code = 0;
        m_grabbedMods.clear();
    }

    bool grabbed() const override { return m_code != 0; }

private:
    uint16_t numLockMask()
    {
        uint16_t mask = XCB_MOD_MASK_2;
        xcb_keycode_t* codes = m_symbols ? xcb_key_symbols_get_keycode(m_symbols, kNumLockSym) : nullptr;
        if (!codes)
            return mask;
        xcb_get_modifier_mapping_reply_t* map =
            xcb_get_modifier_mapping_reply(m_c, xcb_get_modifier_mapping(m_c), nullptr);
        if (map) {
            const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(map);
            const int per = map->keycodes_per_modifier;
            for (int mod = 0; mod < 8; ++mod) {
                for (int i = 0; i < per; ++i) {
                    const xcb_keycode_t k = keys[mod * per + i];
                    for (xcb_keycode_t* c = codes; k && *c != XCB_NO_SYMBOL; ++c) {
                        if (*c == k)
                            mask = uint16_t(1u << mod);
                    }
                }
            }
            std::free(map);
        }
        std::free(codes);
        return mask;
    }

    void drain()
    {
        bool fire = false;
        while (xcb_generic_event_t* ev = xcb_poll_for_event(m_c)) {
            const uint8_t type = ev->response_type & 0x7f;
            const auto* k = reinterpret_cast<xcb_key_press_event_t*>(ev);
            if (type == XCB_KEY_PRESS && k->detail == m_code) {
                fire = fire || !m_held;
                m_held = true;
            } else if (type == XCB_KEY_RELEASE && k->detail == m_code) {
                m_held = false;
                // Auto-repeat sends a release and a press of the same time:
                // the key is still held, the press is no new one.
                if (xcb_generic_event_t* next = xcb_poll_for_queued_event(m_c)) {
                    const auto* n = reinterpret_cast<xcb_key_press_event_t*>(next);
                    if ((next->response_type & 0x7f) == XCB_KEY_PRESS && n->detail == m_code) {
                        fire = fire || n->time != k->time;
                        m_held = true;
                    }
                    std::free(next);
                }
            }
            std::free(ev);
        }
        if (xcb_connection_has_error(m_c))
            m_notifier->setEnabled(false);
        if (fire && m_onPressed)
            m_onPressed();
    }

    xcb_connection_t* m_c;
    std::function<void()> m_onPressed;
    xcb_window_t m_root = 0;
    xcb_key_symbols_t* m_symbols = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    xcb_keycode_t m_code = 0;
    std::vector<uint16_t> m_grabbedMods;
    bool m_held = false;
};

} // namespace

std::unique_ptr<GlobalHotkey> createGlobalHotkey(std::function<void()> onPressed)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return nullptr;
    }
    return std::make_unique<X11GlobalHotkey>(c, std::move(onPressed));
}
