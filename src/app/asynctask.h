#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

// The one road for work that may block (file system, hashing, exports) out
// of the GUI thread and its result back into it.
namespace AsyncTask {

// The pool the tasks run on by default. It lives as long as the process and
// is never waited for: a task stuck on a dead network mount holds one of its
// threads, never the program's exit.
inline QThreadPool* pool()
{
    static QThreadPool* const instance = new QThreadPool;
    return instance;
}

// Runs `task` on `threads` and then `callback` with its result (no argument
// for a task returning void) on the thread of `context`, through that
// thread's event loop: never inside this call. When `context` is destroyed
// before, the callback is dropped; the task itself runs to its end all the
// same, so it must own or share everything it touches and never reach
// `context`. Call from the thread of `context`; a null context runs nothing.
template <typename Task, typename Callback>
void runThenCallback(Task task, QObject* context, Callback callback, QThreadPool* threads = pool())
{
    using Result = std::invoke_result_t<Task>;
    if (!context)
        return;
    // The watcher is a child of the context: destroying the context
    // destroys the watcher and with it the pending delivery.
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, callback = std::move(callback)]() mutable {
                         watcher->deleteLater();
                         if constexpr (std::is_void_v<Result>)
                             callback();
                         else
                             callback(watcher->future().result());
                     });
    watcher->setFuture(QtConcurrent::run(threads, std::move(task)));
}

} // namespace AsyncTask
