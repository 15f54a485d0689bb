// The run owner: starting and stopping a run, its thread records, and the
// messages that reach the window.
#include "JoinRun.h"

#include "JoinLibraries.h"
#include "JoinRings.h"
#include "TickCount.h"
#include "WorkerThread.h"

#include <QThread>

#include <map>

CJoinRun* g_pProgress = nullptr;

namespace {

// The last run started; the next one waits for its threads to end.
std::mutex g_lastRunMutex;
std::weak_ptr<CJoinRun> g_lastRun;

// One object per receiving thread that lives as long as the process. Blocking
// requests are run through it, so a request never depends on the lifetime
// of the window it is meant for.
QObject* AnchorForThread(QThread* thread)
{
    static std::mutex mutex;
    static std::map<QThread*, QObject*> anchors;
    std::lock_guard<std::mutex> lock(mutex);
    QObject*& anchor = anchors[thread];
    // A thread that ended may have left its address to a new one.
    if (!anchor || anchor->thread() != thread) {
        anchor = new QObject;
        anchor->moveToThread(thread);
    }
    return anchor;
}

} // namespace

CJoinRun::CJoinRun() : m_Settings(g_Settings) {}

CJoinRun::~CJoinRun()
{
    // Records of threads still running are detached by their destructors,
    // never killed; such a thread holds its own reference to the run, so
    // this only happens once every thread has let go of it.
}

void CJoinRun::SetReceiver(QObject* receiver)
{
    std::lock_guard<std::mutex> lock(m_receiverMutex);
    m_pReceiver = receiver;
    m_bHasReceiver = receiver != nullptr;
    m_pAnchor = receiver ? AnchorForThread(receiver->thread()) : nullptr;
    m_bDetached.store(0, std::memory_order_release);
}

void CJoinRun::DetachReceiver()
{
    // The flag first: a worker waiting for a blocking request gives up on it.
    m_bDetached.store(1, std::memory_order_release);
    std::lock_guard<std::mutex> lock(m_receiverMutex);
    m_pReceiver = nullptr;
}

void CJoinRun::AddTask(const CConversionTask& task)
{
    m_nRunTotal.store(m_nRunTotal.load(std::memory_order_relaxed) + task.m_nTotalSamples,
                      std::memory_order_release);
    m_arrTasks.push_back(task);
}

bool CJoinRun::Start()
{
    if (m_bStarted) {
        return false;
    }
    m_bStarted = true;
    CreateJoinRings();
    InitJoinDecoder();
    InitSoxOnce();
    {
        std::lock_guard<std::mutex> lock(g_lastRunMutex);
        m_pPreviousRun = g_lastRun.lock();
        g_lastRun = weak_from_this();
    }
    m_bPaused.store(0, std::memory_order_release);
    m_bRunning.store(1, std::memory_order_release);
    auto thread = std::make_shared<WorkerThread>([run = shared_from_this()]() mutable {
        // Moved out, so the record's copy of the body does not keep the run.
        std::shared_ptr<CJoinRun> self = std::move(run);
        TaskThreadProc(std::move(self));
    });
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        m_pTaskThread = thread;
    }
    thread->Resume();
    return true;
}

void CJoinRun::RequestStop()
{
    m_bRunning.store(0, std::memory_order_release);
}

void CJoinRun::SetPaused(bool bPaused)
{
    m_bPaused.store(bPaused ? 1 : 0, std::memory_order_release);
}

bool CJoinRun::HasEnded() const
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    return m_pTaskThread && m_pTaskThread->HasEnded();
}

bool CJoinRun::AllThreadsEnded() const
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    for (const auto* thread : {&m_pTaskThread, &m_pEncodeThread, &m_pConvertThread}) {
        if (*thread && !(*thread)->HasEnded()) {
            return false;
        }
    }
    for (const auto& thread : m_arrOldThreads) {
        if (!thread->HasEnded()) {
            return false;
        }
    }
    return true;
}

bool CJoinRun::WaitForThreads(int msEach)
{
    std::shared_ptr<WorkerThread> convert, encode, task;
    std::vector<std::shared_ptr<WorkerThread>> old;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        convert = m_pConvertThread;
        encode = m_pEncodeThread;
        task = m_pTaskThread;
        old = m_arrOldThreads;
    }
    bool allEnded = true;
    for (const auto* thread : {&convert, &encode, &task}) {
        if (*thread && !(*thread)->Wait(msEach)) {
            allEnded = false;
        }
    }
    for (const auto& thread : old) {
        allEnded = thread->HasEnded() && allEnded;
    }
    return allEnded;
}

void CJoinRun::StartEncodeThread(const std::shared_ptr<CConversionTask>& task)
{
    auto thread = StartWorker([run = shared_from_this(), task]() mutable {
        std::shared_ptr<CJoinRun> self = std::move(run);
        std::shared_ptr<CConversionTask> own = std::move(task);
        EncodeThreadProc(std::move(self), std::move(own));
    });
    std::shared_ptr<WorkerThread> previous;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        previous = std::exchange(m_pEncodeThread, thread);
        if (previous && !previous->HasEnded()) {
            m_arrOldThreads.push_back(previous);
        }
    }
    thread->Resume();
}

void CJoinRun::StartConvertThread(const std::shared_ptr<CConversionTask>& task)
{
    auto thread = StartWorker([run = shared_from_this(), task]() mutable {
        std::shared_ptr<CJoinRun> self = std::move(run);
        std::shared_ptr<CConversionTask> own = std::move(task);
        ConvertThreadProc(std::move(self), std::move(own));
    });
    std::shared_ptr<WorkerThread> previous;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        previous = std::exchange(m_pConvertThread, thread);
        if (previous && !previous->HasEnded()) {
            m_arrOldThreads.push_back(previous);
        }
    }
    thread->Resume();
}

std::shared_ptr<WorkerThread> CJoinRun::StartWorker(std::function<void()> body)
{
    // Ended records of earlier stages are released here, outside the lock
    // (releasing one joins its finished thread).
    std::vector<std::shared_ptr<WorkerThread>> ended;
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        auto it = m_arrOldThreads.begin();
        while (it != m_arrOldThreads.end()) {
            if ((*it)->HasEnded()) {
                ended.push_back(std::move(*it));
                it = m_arrOldThreads.erase(it);
            } else {
                ++it;
            }
        }
    }
    return std::make_shared<WorkerThread>(std::move(body));
}

void CJoinRun::ForgetConvertThread()
{
    std::shared_ptr<WorkerThread> previous;
    std::lock_guard<std::mutex> lock(m_threadMutex);
    previous = std::exchange(m_pConvertThread, nullptr);
    if (previous && !previous->HasEnded()) {
        m_arrOldThreads.push_back(previous);
    }
}

std::shared_ptr<WorkerThread> CJoinRun::EncodeThread() const
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    return m_pEncodeThread;
}

std::shared_ptr<WorkerThread> CJoinRun::ConvertThread() const
{
    std::lock_guard<std::mutex> lock(m_threadMutex);
    return m_pConvertThread;
}

bool CJoinRun::WaitForStage(const std::shared_ptr<WorkerThread>& thread, int msAfterStop)
{
    if (!thread) {
        return true;
    }
    while (IsRunning()) {
        if (thread->Wait(50)) {
            return true;
        }
    }
    return thread->Wait(msAfterStop);
}

bool CJoinRun::WaitForPreviousRun()
{
    std::shared_ptr<CJoinRun> previous = std::move(m_pPreviousRun);
    while (previous && !previous->AllThreadsEnded()) {
        if (!IsRunning()) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

int CJoinRun::ShowMessageBox(const QString& text, MessageIcon icon)
{
    QObject* anchor = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_receiverMutex);
        if (!m_bHasReceiver) {
            // No window: the hook decides how to reach the user.
            return ShowHostMessage(text, icon);
        }
        if (m_bDetached.load(std::memory_order_acquire)) {
            return 0;
        }
        anchor = m_pAnchor;
    }
    int answer = 0;
    SendBlocking(
        anchor, [&answer, text, icon] { answer = ShowHostMessage(text, icon); },
        [this] { return !IsRunning() || m_bDetached.load(std::memory_order_acquire); });
    return answer;
}

void CJoinRun::Log(const QString& text, int kind)
{
    PostEvent(new JoinTextEvent(WM_JOIN_LOG, text, kind));
}

void CJoinRun::PostText(int message, const QString& text)
{
    PostEvent(new JoinTextEvent(message, text));
}

void CJoinRun::PostMessage(int message, qintptr wParam, qintptr lParam)
{
    PostEvent(new AppEvent(message, wParam, lParam));
}

void CJoinRun::PostEvent(AppEvent* event)
{
    std::lock_guard<std::mutex> lock(m_receiverMutex);
    if (m_pReceiver && !m_bDetached.load(std::memory_order_acquire)) {
        PostAppEvent(m_pReceiver.data(), event);
    } else {
        delete event;
    }
}

void CJoinRun::PostProgress(float fTaskPercent, float fRunPercent, bool bSynchronous)
{
    const JoinPercents percents{fTaskPercent, fRunPercent};
    if (!bSynchronous) {
        PostEvent(new JoinProgressEvent(WM_JOIN_PROGRESS, percents));
        return;
    }
    QObject* anchor = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_receiverMutex);
        if (!m_pReceiver || m_bDetached.load(std::memory_order_acquire)) {
            return;
        }
        anchor = m_pAnchor;
    }
    // Runs on the receiver's thread, where the receiver cannot go away
    // between the look-up and the delivery.
    SendBlocking(
        anchor,
        [this, percents] {
            QPointer<QObject> receiver;
            {
                std::lock_guard<std::mutex> lock(m_receiverMutex);
                if (!m_bDetached.load(std::memory_order_acquire)) {
                    receiver = m_pReceiver;
                }
            }
            if (receiver) {
                JoinProgressEvent event(WM_JOIN_PROGRESS, percents);
                QCoreApplication::sendEvent(receiver.data(), &event);
            }
        },
        [this] { return !IsRunning() || m_bDetached.load(std::memory_order_acquire); });
}
