#pragma once

#include <QtGlobal>

#include <memory>

// What the user last did at the keyboard or the mouse, anywhere on the
// desktop, without taking any input away from other programs.
class InputActivity {
public:
    enum class Kind { Any, Keyboard, Mouse };

    virtual ~InputActivity() = default;

    // Milliseconds since the last input of `kind`; -1 when it cannot be
    // told, which callers must count as idleness. A source that cannot tell
    // the keyboard from the mouse answers with the age of any input,
    // whatever the kind.
    virtual qint64 idleMs(Kind kind) const = 0;
    // Whether keyboard and mouse input are told apart.
    virtual bool tellsKindsApart() const = 0;
};

// Watches the input of the X display. Per-device raw events are used when
// the server offers them; the keyboard and mouse then both count as just
// used at the moment the watch starts. Otherwise (or with `screenSaverOnly`)
// the server's idle time of any input is asked. Null without an X display
// or when neither way is offered. Safe to ask from any thread.
std::unique_ptr<InputActivity> watchInputActivity(bool screenSaverOnly = false);
