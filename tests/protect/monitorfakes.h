#pragma once

// A screen, a user and a disk that a test sets by hand, handed to a
// ScreenMonitor of its own. The monitor's capture thread reads them, so
// everything here is an atomic or sits behind a mutex.

#include "platform/inputactivity.h"
#include "platform/screencapture.h"
#include "protect/screenmonitor.h"

#include <QDateTime>
#include <QImage>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

struct MonitorWorld {
    static constexpr qint64 kIdle = 1000000000;

    // What the screen shows.
    void show(const QImage& image)
    {
        std::lock_guard<std::mutex> lock(mutex);
        screen = image;
    }
    QImage shown()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return screen;
    }

    // Milliseconds since the last keystroke and mouse movement.
    std::atomic<qint64> keyboardIdle{0};
    std::atomic<qint64> mouseIdle{0};
    void setActive(bool on)
    {
        keyboardIdle = on ? 0 : kIdle;
        mouseIdle = on ? 0 : kIdle;
    }
    // Free bytes on the disk; -1 unknown.
    std::atomic<qint64> freeBytes{-1};
    // Added to the real monotonic clock: a test jumps ahead with it.
    std::atomic<qint64> clockOffsetMs{0};
    // Every segment is named after this moment.
    QDateTime localTime{QDate(2024, 1, 2), QTime(3, 4, 5)};

    ScreenMonitor::Services services();

private:
    std::mutex mutex;
    QImage screen;
};

class FakeScreenCapture : public ScreenCapture {
public:
    explicit FakeScreenCapture(MonitorWorld* world) : m_world(world) {}
    QSize screenSize() override { return m_world->shown().size(); }
    bool grab(QImage* frame) override
    {
        m_held = m_world->shown();
        *frame = m_held;
        return !m_held.isNull();
    }
    bool usesSharedMemory() const override { return false; }

private:
    MonitorWorld* m_world;
    QImage m_held;
};

class FakeInputActivity : public InputActivity {
public:
    explicit FakeInputActivity(MonitorWorld* world) : m_world(world) {}
    qint64 idleMs(Kind kind) const override
    {
        switch (kind) {
        case Kind::Keyboard: return m_world->keyboardIdle.load();
        case Kind::Mouse: return m_world->mouseIdle.load();
        case Kind::Any: break;
        }
        return qMin(m_world->keyboardIdle.load(), m_world->mouseIdle.load());
    }
    bool tellsKindsApart() const override { return true; }

private:
    MonitorWorld* m_world;
};

inline ScreenMonitor::Services MonitorWorld::services()
{
    ScreenMonitor::Services s;
    s.openCapture = [this] { return std::make_unique<FakeScreenCapture>(this); };
    s.watchActivity = [this] { return std::make_unique<FakeInputActivity>(this); };
    s.availableBytes = [this](const QString&) { return freeBytes.load(); };
    s.monotonicMs = [this] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + clockOffsetMs.load();
    };
    s.localTime = [this] { return localTime; };
    return s;
}
