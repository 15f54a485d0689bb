// The task thread: runs the tasks of a run one after another and logs each
// task's timing and status.
#include "JoinProgress.h"
#include "JoinRings.h"
#include "JoinRun.h"
#include "OutputPath.h"

#include "FolderTree.h"
#include "TickCount.h"
#include "WorkerThread.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// The task thread's start: a short pause, cut short by a stop.
constexpr uint32_t kStartDelayMs = 500;

} // namespace

void CJoinRun::TaskThreadProc(std::shared_ptr<CJoinRun> run)
{
    try {
        run->RunTasks();
    } catch (...) {
        run->StopRun();
        run->Log(QStringLiteral("Joining status: ERROR."), LOG_ERROR);
    }
    run->PostMessage(WM_JOIN_RUN_ENDED);
}

void CJoinRun::RunTasks()
{
    // The rings and the decode handle belong to one run at a time.
    if (!WaitForPreviousRun()) {
        return;
    }
    // Timed against the clock: fifty sleeps of 10 ms each overrun a little
    // and would add up to a noticeably longer start.
    const uint32_t dwWaitStart = GetTickCount();
    while (IsRunning()) {
        const uint32_t waited = GetTickCount() - dwWaitStart;
        if (waited >= kStartDelayMs) {
            break;
        }
        Sleep(std::min<uint32_t>(10, kStartDelayMs - waited));
    }
    PostMessage(WM_JOIN_START_TIMER, 1000);
    m_dwRunStart.store(GetTickCount(), std::memory_order_release);
    m_nTaskIndex.store(0, std::memory_order_release);

    const int nTasks = int(m_arrTasks.size());
    for (int index = 0; index < nTasks && IsRunning(); ++index) {
        m_nTaskIndex.store(index, std::memory_order_release);
        RunOneTask(index);
        m_nTaskIndex.store(index + 1, std::memory_order_release);
    }
    if (!IsRunning()) {
        return;
    }
    if (nTasks > 1) {
        const float secs = TickSeconds(GetTickCount(), m_dwRunStart.load(std::memory_order_acquire));
        const double speed = SpeedOf(m_fRunSeconds.load(std::memory_order_acquire), secs);
        Log(QString(99, u'-'), LOG_INFO);
        Log(QString::asprintf("Total time elapsed %.2f secs, overall speed %.2fx.", double(secs), speed),
            LOG_INFO);
    }
    PostMessage(WM_JOIN_DONE);
}

bool CJoinRun::RunOneTask(int nIndex)
{
    const uint32_t dwStart = GetTickCount();
    auto task = std::make_shared<CConversionTask>(m_arrTasks[size_t(nIndex)]);

    const QString folder = OutputFolderOf(task->m_strOutputPath);
    if (!folder.isEmpty() && !QFileInfo::exists(folder) && !CreateFolderTree(folder)) {
        Log(QStringLiteral("Fail to create folder ") + folder + QStringLiteral(" !"), LOG_ERROR);
        StopRun();
        return false;
    }
    if (!m_Settings.SameAsSrc && QFileInfo::exists(task->m_strOutputPath)) {
        bool bCreated = false;
        task->m_strOutputPath = MakeUniquePath(task->m_strOutputPath, &bCreated);
        task->m_bFreshOutput = bCreated ? 1 : 0;
    }

    PostText(WM_JOIN_SET_SOURCE, task->m_strSourcePath);
    PostText(WM_JOIN_SET_DESTINATION, task->m_strOutputPath);
    Log(QStringLiteral("Start a new joining task."), LOG_INFO);
    Log(QStringLiteral("Destination: ") + task->m_strOutputPath + u'.', LOG_INFO);

    m_nTaskEncoded.store(0, std::memory_order_release);
    m_fTaskSeconds.store(0.0, std::memory_order_release);
    m_dwTaskStart.store(GetTickCount(), std::memory_order_release);
    // Every thread of the earlier tasks has ended (waited for below, and a
    // task only follows one that ended with the run still going).
    g_pDecodeRing->Reset();
    g_pConvertRing->Reset();

    if (task->m_pFiles->empty()) {
        Log(QStringLiteral("No usable file to join."), LOG_ERROR);
        StopRun();
        Log(QStringLiteral("Joining status: ERROR."), LOG_ERROR);
        return false;
    }

    g_pCurrentTask.store(task.get(), std::memory_order_release);
    if (task->Join(*this) == 0) {
        StopRun();
    }
    bool bStagesEnded = true;
    if (task->m_bConvert) {
        bStagesEnded = WaitForStage(ConvertThread()) && bStagesEnded;
    }
    bStagesEnded = WaitForStage(EncodeThread()) && bStagesEnded;

    // A task is OK only when the run went on, every stage ended and no file
    // was left out.
    const bool bOk = IsRunning() && bStagesEnded && task->m_nFailedFiles == 0;
    if (bOk) {
        const float secs = TickSeconds(GetTickCount(), dwStart);
        const double speed = SpeedOf(m_fTaskSeconds.load(std::memory_order_acquire), secs);
        Log(QString::asprintf("Time elapsed %.2f secs, speed %.2fx.", double(secs), speed), LOG_INFO);
        Log(QStringLiteral("Joining status: OK."), LOG_INFO);
    } else {
        StopRun();
        Log(QStringLiteral("Joining status: ERROR."), LOG_ERROR);
    }
    CConversionTask* expected = task.get();
    g_pCurrentTask.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    return bOk;
}
