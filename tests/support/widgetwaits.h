#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Helpers for tests that must act inside a nested event loop (a modal
// dialog's exec(), a menu's exec(), a drag): they poll from the event loop
// and act once the widget is there.
namespace testsupport {

// Calls `act` with the first non-null result of `find`, checked every few
// milliseconds from the event loop; gives up silently after `timeoutMs`
// (the test then fails on what it expected `act` to do). With a `context`
// the wait ends when the context is destroyed, so a wait that never
// succeeded cannot reach into the next test.
inline void whenWidget(std::function<QWidget*()> find, std::function<void(QWidget*)> act,
                       int timeoutMs = 5000, QObject* context = nullptr)
{
    auto* timer = new QTimer(context);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, find, act, timeoutMs] {
        if (QWidget* w = find()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// The modal dialog shown next.
inline void whenModal(std::function<void(QWidget*)> act, QObject* context = nullptr)
{
    whenWidget([] { return QApplication::activeModalWidget(); }, std::move(act), 5000, context);
}

// The popup (menu) shown next.
inline void whenPopup(std::function<void(QWidget*)> act, QObject* context = nullptr)
{
    whenWidget([] { return QApplication::activePopupWidget(); }, std::move(act), 5000, context);
}

} // namespace testsupport
