// The run of a join: the tasks, the running and paused flags, the counters,
// the thread records, and how the run reaches the window that shows it.
#pragma once

#include "ConversionTask.h"
#include "HostHooks.h"
#include "JoinEvents.h"
#include "Settings.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class WorkerThread;

// One run = everything a progress window (or the command line) does between
// opening and closing: one or more tasks, run one after another on the task
// thread. Always owned by a std::shared_ptr: every worker thread holds the run
// (and its task) until it ends, so nothing a thread uses is freed before.
//
// The host (UI thread): create with std::make_shared, AddTask, SetReceiver,
// Start; Cancel/RequestStop, SetPaused; DetachReceiver before the receiver
// goes away; WaitForThreads when it must. Every message is posted to the
// receiver; only a message box and the final progress update wait for the
// receiver's thread, and those waits end when the run stops or the receiver
// is detached.
class CJoinRun : public std::enable_shared_from_this<CJoinRun>
{
public:
    CJoinRun();
    virtual ~CJoinRun();

    CJoinRun(const CJoinRun&) = delete;
    CJoinRun& operator=(const CJoinRun&) = delete;

    // --- host side (UI thread) ---

    // The object that receives the run's messages, on its own thread.
    void SetReceiver(QObject* receiver);
    // Stops every further message and ends a pending blocking request.
    void DetachReceiver();
    // Adds the task's expected total to the run total and appends it.
    void AddTask(const CConversionTask& task);
    // Sets m_bRunning and starts the task thread. The rings and the decode
    // handle are created when missing. The task thread first waits for every
    // thread of the previous run to end. False when the run was started before.
    bool Start();
    // Clears m_bRunning: every stage stops at its next check.
    void RequestStop();
    void Cancel() { RequestStop(); }
    void SetPaused(bool bPaused);
    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire) != 0; }
    bool IsPaused() const { return m_bPaused.load(std::memory_order_acquire) != 0; }
    // The task thread has ended (it posted WM_JOIN_RUN_ENDED).
    bool HasEnded() const;
    // Every thread of the run has ended.
    bool AllThreadsEnded() const;
    // Waits for the conversion thread, the encode thread and the task thread,
    // up to msEach milliseconds each (negative: without limit), in that
    // order. True when all have ended. Call DetachReceiver first when the
    // receiver's thread is the one waiting.
    bool WaitForThreads(int msEach);

    // Shows a message box and returns its answer. The default runs the host
    // hook (ShowHostMessage) on the receiver's thread and waits for it, or
    // gives up when the run stops or the receiver is detached; without a
    // receiver it calls the hook on the calling thread.
    virtual int ShowMessageBox(const QString& text, MessageIcon icon);

    // --- engine side (any thread of the run) ---

    void Log(const QString& text, int kind);
    // Posts WM_JOIN_PROGRESS, or, when bSynchronous, delivers it on the
    // receiver's thread and waits until it was handled (or the run stopped).
    void PostProgress(float fTaskPercent, float fRunPercent, bool bSynchronous);
    void PostText(int message, const QString& text);
    void PostMessage(int message, qintptr wParam = 0, qintptr lParam = 0);
    void StopRun() { m_bRunning.store(0, std::memory_order_release); }

    // Thread entries; each receives its own run (and task).
    static void TaskThreadProc(std::shared_ptr<CJoinRun> run);
    static void EncodeThreadProc(std::shared_ptr<CJoinRun> run, std::shared_ptr<CConversionTask> task);
    static void ConvertThreadProc(std::shared_ptr<CJoinRun> run, std::shared_ptr<CConversionTask> task);
    // Body of the task thread.
    void RunTasks();

    // Starts a thread for the current task's encode stage or the current
    // file's conversion stage, recorded as m_pEncodeThread / m_pConvertThread.
    void StartEncodeThread(const std::shared_ptr<CConversionTask>& task);
    // Conversion threads are started by the driver after it raised the
    // task's converter flag.
    void StartConvertThread(const std::shared_ptr<CConversionTask>& task);
    // Waits for a stage thread: without limit while the run goes on (a stop
    // is still noticed), at most msAfterStop once it has stopped.
    bool WaitForStage(const std::shared_ptr<WorkerThread>& thread, int msAfterStop = 10000);
    // The driver starts a task with no conversion thread recorded.
    void ForgetConvertThread();
    std::shared_ptr<WorkerThread> EncodeThread() const;
    std::shared_ptr<WorkerThread> ConvertThread() const;

    // Output settings of the run (bit rate, channel mode, SameAsSrc), taken
    // from g_Settings when the run is made; the host may change them before
    // Start.
    CSettings m_Settings;

    // Run state. m_bRunning and m_bPaused: UI thread, and any stage clears
    // m_bRunning on failure. Counters: the encode thread during a task, the
    // task thread between tasks, the host before Start.
    std::atomic<int32_t> m_bRunning{0};
    std::atomic<int32_t> m_bPaused{0};
    std::atomic<uint64_t> m_nRunEncoded{0};
    std::atomic<uint64_t> m_nTaskEncoded{0};
    std::atomic<uint64_t> m_nRunTotal{0};
    std::atomic<double> m_fRunSeconds{0.0};  // seconds of output audio encoded in the run
    std::atomic<double> m_fTaskSeconds{0.0}; // ... in the current task
    std::atomic<uint32_t> m_dwRunStart{0};
    std::atomic<uint32_t> m_dwTaskStart{0};
    std::vector<CConversionTask> m_arrTasks; // filled by the host before Start; read-only afterwards
    std::atomic<int32_t> m_nTaskIndex{0};

private:
    std::shared_ptr<WorkerThread> StartWorker(std::function<void()> body);
    void PostEvent(AppEvent* event);
    bool RunOneTask(int nIndex);
    bool WaitForPreviousRun();

    mutable std::mutex m_receiverMutex;
    QPointer<QObject> m_pReceiver;
    bool m_bHasReceiver = false;  // a receiver was set (and maybe detached since)
    QObject* m_pAnchor = nullptr; // lives as long as the process, on the receiver's thread
    std::atomic<int32_t> m_bDetached{0};

    mutable std::mutex m_threadMutex;
    std::shared_ptr<WorkerThread> m_pTaskThread;
    std::shared_ptr<WorkerThread> m_pEncodeThread;
    std::shared_ptr<WorkerThread> m_pConvertThread;
    std::vector<std::shared_ptr<WorkerThread>> m_arrOldThreads; // earlier stage threads still running
    std::shared_ptr<CJoinRun> m_pPreviousRun;                   // waited for by the task thread
    bool m_bStarted = false;
};

// The run shown by the open progress window; set and cleared by the host.
// Worker threads are handed their run and never read this.
extern CJoinRun* g_pProgress;
