#include "app/asynctask.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

class TestAsyncTask : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resultComesBackOnTheContextThread()
    {
        QObject context;
        QThread* taskThread = nullptr;
        QThread* callbackThread = nullptr;
        int result = 0;
        AsyncTask::runThenCallback(
            [&taskThread] {
                taskThread = QThread::currentThread();
                return 42;
            },
            &context,
            [&](int value) {
                callbackThread = QThread::currentThread();
                result = value;
            });
        // Never inside the call, even when the task is quick.
        QCOMPARE(result, 0);
        QTRY_COMPARE(result, 42);
        QVERIFY(taskThread && taskThread != QThread::currentThread());
        QCOMPARE(callbackThread, QThread::currentThread());
        // The watcher that carried the result is gone again.
        QTRY_VERIFY(context.children().isEmpty());
    }

    void voidTask()
    {
        QObject context;
        std::atomic_bool ran{false};
        bool called = false;
        AsyncTask::runThenCallback([&ran] { ran = true; }, &context, [&] { called = ran; });
        QTRY_VERIFY(called);
    }

    void callbackIsDroppedWithItsContext()
    {
        auto gate = std::make_shared<QSemaphore>();
        int calls = 0;
        auto* context = new QObject;
        AsyncTask::runThenCallback(
            [gate] {
                gate->acquire();
                return 1;
            },
            context, [&calls](int) { ++calls; });
        delete context;
        gate->release();
        // Once the task has finished, anything it posted is delivered here.
        AsyncTask::pool()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
    }

    void nullContextRunsNothing()
    {
        std::atomic_int runs{0};
        AsyncTask::runThenCallback([&runs] { ++runs; }, nullptr, [] {});
        AsyncTask::pool()->waitForDone();
        QCOMPARE(runs.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAsyncTask)
#include "test_asynctask.moc"
