// Posting application messages and running requests on another thread.
#include "AppEvents.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>

void PostAppEvent(QObject* receiver, AppEvent* event)
{
    if (!event)
        return;
    if (!receiver) {
        delete event;
        return;
    }
    QCoreApplication::postEvent(receiver, event);
}

namespace {

// How often a waiting sender asks whether it should give up.
constexpr auto kAbortPollInterval = std::chrono::milliseconds(5);

// The state of one blocking call, shared by the waiting sender and the queued
// call on the receiver's thread, so neither side can leave the other with a
// dangling pointer.
struct BlockingCall
{
    enum class Stage
    {
        Queued,
        Running,
        Done,
        Dropped,
        Abandoned
    };

    std::mutex mutex;
    std::condition_variable changed;
    Stage stage = Stage::Queued;
    std::function<void()> request;

    void SetStage(Stage next)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stage = next;
        }
        changed.notify_all();
    }
};

// Carried by the queued call. It runs the request on the receiver's thread,
// unless the sender has given up. When the queued call is destroyed without
// being delivered (the receiver died, its thread's queue was dropped, posted
// events were removed), the ticket goes with it and tells the sender.
class CallTicket
{
public:
    explicit CallTicket(std::shared_ptr<BlockingCall> call) : m_call(std::move(call)) {}
    CallTicket(const CallTicket&) = delete;
    CallTicket& operator=(const CallTicket&) = delete;

    ~CallTicket()
    {
        std::lock_guard<std::mutex> lock(m_call->mutex);
        if (m_call->stage == BlockingCall::Stage::Queued) {
            m_call->stage = BlockingCall::Stage::Dropped;
            m_call->changed.notify_all();
        }
    }

    void Run()
    {
        {
            std::lock_guard<std::mutex> lock(m_call->mutex);
            if (m_call->stage != BlockingCall::Stage::Queued)
                return; // the sender gave up: the request must not take effect
            m_call->stage = BlockingCall::Stage::Running;
        }
        m_call->request();
        m_call->SetStage(BlockingCall::Stage::Done);
    }

private:
    std::shared_ptr<BlockingCall> m_call;
};

} // namespace

bool SendBlocking(QObject* receiver, std::function<void()> request, std::function<bool()> shouldAbort)
{
    if (!receiver || !request)
        return false;
    if (receiver->thread() == QThread::currentThread()) {
        request();
        return true;
    }

    // shouldAbort is first asked once the request is queued, so a caller can
    // take its first call as the sign that the request waits on the receiver.
    auto call = std::make_shared<BlockingCall>();
    call->request = std::move(request);
    const QPointer<QObject> guard(receiver);
    auto ticket = std::make_shared<CallTicket>(call);
    const bool queued = QMetaObject::invokeMethod(
        receiver, [ticket] { ticket->Run(); }, Qt::QueuedConnection);
    ticket.reset();
    if (!queued)
        return false;

    using Stage = BlockingCall::Stage;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(call->mutex);
            call->changed.wait_for(lock, kAbortPollInterval, [&] {
                return call->stage == Stage::Done || call->stage == Stage::Dropped;
            });
            if (call->stage == Stage::Done)
                return true;
            if (call->stage == Stage::Dropped)
                return false;
            if (call->stage == Stage::Running)
                continue; // once started, the request is waited for to its end
        }
        // Asked without the lock: the callback may take locks of its own.
        const bool giveUp = guard.isNull() || (shouldAbort && shouldAbort());
        if (giveUp) {
            std::lock_guard<std::mutex> lock(call->mutex);
            if (call->stage == Stage::Queued) {
                call->stage = Stage::Abandoned;
                return false;
            }
            // It started or ended meanwhile; the loop picks up the outcome.
        }
    }
}
