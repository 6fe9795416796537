#pragma once

#include <Qt>

#include <functional>
#include <memory>

// A key combination taken for the whole desktop: pressing it anywhere calls
// the owner back, whatever window has the focus and also with NumLock or
// CapsLock on.
class GlobalHotkey {
public:
    virtual ~GlobalHotkey() = default;
    // Takes `key` with `modifiers` (Ctrl, Alt, Shift, Meta). False when the
    // key has no key code here or another program holds the combination;
    // nothing stays taken then. A new grab releases the previous one.
    virtual bool grab(Qt::Key key, Qt::KeyboardModifiers modifiers) = 0;
    virtual void release() = 0;
    virtual bool grabbed() const = 0;
};

// The X11 implementation on a connection of its own, with `onPressed`
// called on this thread's event loop (held down, the key calls once); null
// when no X server can be reached.
std::unique_ptr<GlobalHotkey> createGlobalHotkey(std::function<void()> onPressed);
