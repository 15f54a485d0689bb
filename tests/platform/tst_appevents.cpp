// Tests of the application events: payload ownership, delivery, and the
// blocking call onto another thread with all the ways it can end.
#include "AppEvents.h"
#include "TestMain.h"
#include "TickCount.h"
#include "WorkerThread.h"

#include <QThread>
#include <atomic>

namespace {

// Counts its live instances, so a test sees whether a payload was freed.
struct Tracked
{
    static inline std::atomic<int> live{0};
    int value = 0;

    explicit Tracked(int v = 0) : value(v) { live.fetch_add(1); }
    Tracked(const Tracked& other) : value(other.value) { live.fetch_add(1); }
    Tracked(Tracked&& other) noexcept : value(other.value) { live.fetch_add(1); }
    ~Tracked() { live.fetch_sub(1); }
};

// Records the application events it receives.
class Receiver : public QObject
{
public:
    int message = 0;
    qintptr wParam = 0;
    qintptr lParam = 0;
    QString text;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() < QEvent::User)
            return QObject::event(e);
        auto* app = static_cast<AppEvent*>(e);
        message = app->Message();
        wParam = app->WParam();
        lParam = app->LParam();
        if (auto* withText = dynamic_cast<PayloadEvent<QString>*>(e))
            text = withText->Payload();
        return true;
    }
};

// A blocking call made from a worker thread, with an abort callback that
// reports once it has been polled (the request is queued by then).
struct WorkerCall
{
    std::atomic<bool> polled{false};
    std::atomic<bool> abort{false};
    std::atomic<bool> ran{false};
    std::atomic<bool> result{false};
    std::atomic<QThread*> ranOn{nullptr};
    std::unique_ptr<WorkerThread> thread;

    void Start(QObject* receiver)
    {
        thread = std::make_unique<WorkerThread>([this, receiver] {
            const bool done = SendBlocking(
                receiver,
                [this] {
                    ranOn.store(QThread::currentThread(), std::memory_order_release);
                    ran.store(true, std::memory_order_release);
                },
                [this] {
                    polled.store(true, std::memory_order_release);
                    return abort.load(std::memory_order_acquire);
                });
            result.store(done, std::memory_order_release);
        });
        thread->Resume();
    }

    // Waits, without running this thread's event loop, until the request is
    // queued and the worker is polling.
    void WaitQueued()
    {
        while (!polled.load(std::memory_order_acquire))
            Sleep(1);
    }
};

} // namespace

class TestAppEvents : public QObject
{
    Q_OBJECT

private slots:
    void deliversMessageParamsAndPayload()
    {
        Receiver receiver;
        std::thread poster([&] {
            PostAppEvent(&receiver, new PayloadEvent<QString>(WM_JOIN_LOG, QStringLiteral("a line"), 7, -2));
        });
        poster.join();
        QCOMPARE(receiver.message, 0);
        QCoreApplication::sendPostedEvents(&receiver);
        QCOMPARE(receiver.message, int(WM_JOIN_LOG));
        QCOMPARE(receiver.wParam, qintptr(7));
        QCOMPARE(receiver.lParam, qintptr(-2));
        QCOMPARE(receiver.text, QStringLiteral("a line"));
    }

    void payloadIsFreedWhenNotHandled_data()
    {
        QTest::addColumn<QString>("fate");
        QTest::newRow("receiver ignores it") << QStringLiteral("ignored");
        QTest::newRow("receiver destroyed first") << QStringLiteral("destroyed");
        QTest::newRow("no receiver") << QStringLiteral("null");
    }
    void payloadIsFreedWhenNotHandled()
    {
        QFETCH(QString, fate);
        QCOMPARE(Tracked::live.load(), 0);
        auto* receiver = new QObject; // a plain object ignores application events
        auto* event = new PayloadEvent<Tracked>(WM_APPEND_ROW, Tracked(5));
        QCOMPARE(Tracked::live.load(), 1);
        PostAppEvent(fate == QLatin1String("null") ? nullptr : receiver, event);
        if (fate == QLatin1String("ignored"))
            QCoreApplication::sendPostedEvents(receiver);
        delete receiver;
        QCOMPARE(Tracked::live.load(), 0);
    }

    void sendBlockingRunsOnReceiverThread()
    {
        // From a worker onto this (the UI) thread.
        Receiver receiver;
        WorkerCall call;
        call.Start(&receiver);
        QTRY_VERIFY_WITH_TIMEOUT(call.thread->HasEnded(), 60000);
        QVERIFY(call.result.load(std::memory_order_acquire));
        QCOMPARE(call.ranOn.load(std::memory_order_acquire), QThread::currentThread());

        // From this thread onto an object living in a thread with its own loop.
        QThread other;
        other.start();
        QObject remote;
        remote.moveToThread(&other);
        QThread* ranOn = nullptr;
        QVERIFY(SendBlocking(&remote, [&] { ranOn = QThread::currentThread(); }));
        QCOMPARE(ranOn, &other);
        QVERIFY(SendBlocking(&remote, [&] { remote.moveToThread(QCoreApplication::instance()->thread()); }));
        other.quit();
        other.wait();
    }

    void sendBlockingOnOwnThreadRunsDirectly()
    {
        Receiver receiver;
        bool ran = false;
        QVERIFY(SendBlocking(
            &receiver, [&] { ran = true; }, [] { return true; }));
        QVERIFY(ran); // at once, without the event loop and despite the abort
        QVERIFY(!SendBlocking(nullptr, [&] { ran = false; }));
        QVERIFY(ran);
    }

    void abortEndsWaitAndRequestNeverRuns()
    {
        // The UI thread waits for the worker, so it cannot serve the call: the
        // abort is what keeps this from a deadlock.
        Receiver receiver;
        WorkerCall call;
        call.Start(&receiver);
        call.WaitQueued();
        call.abort.store(true, std::memory_order_release);
        QVERIFY(call.thread->Wait(-1));
        QVERIFY(!call.result.load(std::memory_order_acquire));

        QCoreApplication::sendPostedEvents();
        QVERIFY(!call.ran.load(std::memory_order_acquire));
    }

    void undeliveredRequestReleasesWaiter_data()
    {
        QTest::addColumn<bool>("destroyReceiver");
        QTest::newRow("receiver destroyed") << true;
        QTest::newRow("queued event removed") << false;
    }
    void undeliveredRequestReleasesWaiter()
    {
        QFETCH(bool, destroyReceiver);
        auto* receiver = new Receiver;
        WorkerCall call;
        call.Start(receiver);
        call.WaitQueued();
        if (destroyReceiver)
            delete receiver;
        else
            QCoreApplication::removePostedEvents(receiver);
        QVERIFY(call.thread->Wait(-1)); // no abort: only the dropped event ends the wait
        QVERIFY(!call.result.load(std::memory_order_acquire));
        QVERIFY(!call.ran.load(std::memory_order_acquire));
        if (!destroyReceiver)
            delete receiver;
    }
};

TARNWICK_TEST_MAIN(TestAppEvents)
#include "tst_appevents.moc"
