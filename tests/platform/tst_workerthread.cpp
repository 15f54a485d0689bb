// Tests of the worker thread record (start gate, bounded waits, destruction
// in every state) and of the tick count.
#include "TestMain.h"
#include "TickCount.h"
#include "WorkerThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// A one-way latch the test opens for a body that waits on it.
class Latch
{
public:
    void Open()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void WaitOpen()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

} // namespace

class TestWorkerThread : public QObject
{
    Q_OBJECT

private slots:
    void gateHoldsBodyUntilResume()
    {
        std::atomic<bool> ran{false};
        std::thread::id ranOn;
        WorkerThread thread([&] {
            ranOn = std::this_thread::get_id();
            ran.store(true, std::memory_order_release);
        });
        QVERIFY(!thread.Wait(50));
        QVERIFY(!ran.load(std::memory_order_acquire));
        QVERIFY(!thread.HasEnded());

        thread.Resume();
        thread.Resume(); // a second release changes nothing
        QVERIFY(thread.Wait(-1));
        QVERIFY(thread.HasEnded());
        QVERIFY(ran.load(std::memory_order_acquire));
        QVERIFY(ranOn != std::this_thread::get_id());
    }

    void boundedWaitTimesOutThenSeesTheEnd()
    {
        Latch go;
        WorkerThread thread([&] { go.WaitOpen(); });
        thread.Resume();
        QVERIFY(!thread.Wait(0));
        QVERIFY(!thread.Wait(20));
        QVERIFY(!thread.HasEnded());
        go.Open();
        QVERIFY(thread.Wait(60000));
        QVERIFY(thread.HasEnded());
        QVERIFY(thread.Wait(0)); // an ended thread stays ended
    }

    void neverResumedThreadSkipsBody()
    {
        std::atomic<bool> ran{false};
        auto token = std::make_shared<int>(1);
        std::weak_ptr<int> watch = token;
        {
            WorkerThread thread([&ran, token] { ran.store(true, std::memory_order_release); });
            token.reset();
            QVERIFY(!watch.expired()); // the body (and its captures) is still held
        }
        QVERIFY(!ran.load(std::memory_order_acquire));
        // The thread was joined and the shared state freed with the body.
        QVERIFY(watch.expired());
    }

    void destroyingRecordOfRunningThreadIsSafe()
    {
        struct Shared
        {
            Latch started;
            Latch go;
            std::atomic<bool> finished{false};
        };
        auto shared = std::make_shared<Shared>();
        auto token = std::make_shared<int>(1);
        std::weak_ptr<int> watch = token;

        auto* thread = new WorkerThread([shared, token] {
            shared->started.Open();
            shared->go.WaitOpen();
            shared->finished.store(true, std::memory_order_release);
        });
        token.reset();
        thread->Resume();
        shared->started.WaitOpen();
        delete thread; // detached, not killed
        QVERIFY(!shared->finished.load(std::memory_order_acquire));
        QVERIFY(!watch.expired());

        shared->go.Open();
        // The body runs on and ends by itself; the last capture goes with the
        // thread's own reference to the shared state.
        while (!watch.expired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QVERIFY(shared->finished.load(std::memory_order_acquire));
    }

    void endedThreadIsJoinedOnDestruction()
    {
        std::atomic<int> runs{0};
        {
            WorkerThread thread([&] { runs.fetch_add(1, std::memory_order_acq_rel); });
            thread.Resume();
            QVERIFY(thread.Wait(-1));
        }
        QCOMPARE(runs.load(std::memory_order_acquire), 1);
    }

    void exceptionInBodyEndsThreadOnly()
    {
        WorkerThread thread([] { throw std::runtime_error("test failure"); });
        thread.Resume();
        QVERIFY(thread.Wait(-1));
        QVERIFY(thread.HasEnded());
    }

    void tickCountIsSteadyClockIn32Bits()
    {
        using namespace std::chrono;
        auto clockTicks = [] {
            return static_cast<uint32_t>(
                duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        };
        const uint32_t before = clockTicks();
        const uint32_t tick = GetTickCount();
        const uint32_t after = clockTicks();
        // Unsigned differences, as callers take them, also across a wrap.
        QVERIFY(uint32_t(tick - before) <= uint32_t(after - before));

        Sleep(20);
        const uint32_t later = GetTickCount();
        QVERIFY(uint32_t(later - tick) >= 20u);
        QVERIFY(uint32_t(later - tick) < 0x80000000u);
    }
};

TARNWICK_TEST_MAIN(TestWorkerThread)
#include "tst_workerthread.moc"
