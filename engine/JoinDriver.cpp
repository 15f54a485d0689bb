// The per-file driver of a task: starts the encode thread, then decodes the
// source files in order, each through its own conversion thread when the
// task converts.
#include "ConversionTask.h"
#include "JoinRings.h"
#include "JoinRun.h"
#include "OutputPath.h"

void CConversionTask::LogFailedSource(CJoinRun& run, int kind)
{
    run.Log(QStringLiteral("Source: ") + m_strSourcePath, kind);
}

int CConversionTask::Join(CJoinRun& run)
{
    int result = 0;
    try {
        g_pCurrentTask.store(this, std::memory_order_release);
        m_bDriverBusy.store(1, std::memory_order_release);
        result = JoinFiles(run);
    } catch (...) {
        run.StopRun();
        run.Log(QStringLiteral("An error occurred while decoding ") + m_strSourcePath, LOG_ERROR);
        ++m_nFailedFiles;
        result = 0;
    }
    m_bDriverBusy.store(0, std::memory_order_release);
    m_bDecoderBusy.store(0, std::memory_order_release);
    return result;
}

int CConversionTask::JoinFiles(CJoinRun& run)
{
    run.ForgetConvertThread();
    m_pEncoderInput = m_bConvert ? g_pConvertRing : g_pDecodeRing;
    run.StartEncodeThread(shared_from_this());

    const std::vector<CFileToBeJoin>& files = *m_pFiles;
    const int nFiles = int(files.size());
    for (int index = 0; index < nFiles && run.IsRunning(); ++index) {
        // Each file gets a fresh chain, and the converted files reach the
        // convert ring in order.
        if (index > 0 && m_bConvert && !run.WaitForStage(run.ConvertThread())) {
            break;
        }
        run.PostText(WM_JOIN_SET_TITLE, QString::asprintf("Joining %d/%d", index + 1, nFiles));
        const CFileToBeJoin& file = files[size_t(index)];
        m_strSourcePath = file.m_strPath;
        QString error;
        if (!CheckSource(m_strSourcePath, &error)) {
            run.Log(QStringLiteral("File Error: ") + error, LOG_ERROR);
            LogFailedSource(run, LOG_ERROR);
            ++m_nFailedFiles;
            run.StopRun();
            return 0;
        }
        run.PostText(WM_JOIN_SET_SOURCE, m_strSourcePath);
        m_nSourceChannels = file.m_nChannels;
        m_nSourceRate = file.m_nSampleRate;
        m_bDecoderBusy.store(1, std::memory_order_release);
        if (m_bConvert) {
            // Raised here, before the thread runs: the encoder must never
            // see both producers idle while this file is still to come.
            m_bConverterBusy.store(1, std::memory_order_release);
            run.StartConvertThread(shared_from_this());
        }
        if (Decode(run) == 0) {
            ++m_nFailedFiles;
        }
        m_bDecoderBusy.store(0, std::memory_order_release);
    }
    // A failed file is counted (and makes the task's status ERROR); the run
    // goes on so that everything decoded is still encoded.
    return 1;
}
