// The encode stage: interleaved 32-bit values from the task's input ring to
// floats, through lame_enc.so, into the output file; it keeps the progress
// counters and honours Pause.
#include "ChunkScaler.h"
#include "ConversionTask.h"
#include "EncoderLibrary.h"
#include "JoinProgress.h"
#include "JoinRun.h"
#include "OutputPath.h"

#include "TickCount.h"

#include <QFile>

#include <cstdio>
#include <vector>

namespace {

// The output file: written through a buffer, every failure remembered, so a
// full disk is noticed also when it shows only at flush or close.
class OutputFile
{
public:
    bool Open(const QString& path)
    {
        // "e": not inherited by programs the host may start.
        m_pFile = std::fopen(QFile::encodeName(path).constData(), "w+be");
        if (m_pFile) {
            std::setvbuf(m_pFile, nullptr, _IOFBF, 1 << 16);
        }
        return m_pFile != nullptr;
    }
    ~OutputFile() { Close(); }

    bool Write(const unsigned char* data, uint32_t bytes)
    {
        if (bytes > 0 && std::fwrite(data, 1, bytes, m_pFile) != bytes) {
            m_bFailed = true;
            return false;
        }
        return true;
    }
    // Flushes and closes; false when anything written was lost.
    bool Close()
    {
        if (!m_pFile) {
            return !m_bFailed;
        }
        if (std::fflush(m_pFile) != 0 || std::ferror(m_pFile)) {
            m_bFailed = true;
        }
        if (std::fclose(m_pFile) != 0) {
            m_bFailed = true;
        }
        m_pFile = nullptr;
        return !m_bFailed;
    }

private:
    std::FILE* m_pFile = nullptr;
    bool m_bFailed = false;
};

// An open encoder stream, closed once on every way out.
class EncoderStream
{
public:
    explicit EncoderStream(const CEncoderLibrary& library) : m_library(library) {}
    ~EncoderStream() { Close(); }
    EncoderStream(const EncoderStream&) = delete;
    EncoderStream& operator=(const EncoderStream&) = delete;

    BeStream m_handle = 0;
    bool m_bOpen = false;

    void Close()
    {
        if (m_bOpen) {
            m_library.pCloseStream(m_handle);
            m_bOpen = false;
        }
    }

private:
    const CEncoderLibrary& m_library;
};

QString CodeText(const char* format, uint32_t code)
{
    return QString::asprintf(format, static_cast<unsigned long>(code));
}

} // namespace

int CConversionTask::Encode(CJoinRun& run)
{
    CEncoderLibrary library;
    if (!library.Load()) {
        run.Log(QStringLiteral("Error loading lame_enc.so"), LOG_ERROR);
        run.ShowMessageBox(QStringLiteral("Error Loading Lame_enc.so"), MessageIcon::Error);
        run.StopRun();
        return 0;
    }
    if (!library.Resolve()) {
        run.Log(QStringLiteral("Unable to get LAME interfaces"), LOG_ERROR);
        run.ShowMessageBox(QStringLiteral("Unable to Get LAME Interfaces"), MessageIcon::Error);
        run.StopRun();
        return 0;
    }
    const EncoderConfig config = BuildEncoderConfig(m_nOutputRate, m_nOutputChannels,
                                                    run.m_Settings.LameChannel, run.m_Settings.LameBits);

    // Opening for writing truncates: never when the output is one of the
    // sources (the same path, or a link to it).
    OutputFile file;
    if ((!m_bFreshOutput && IsOneOfTheSources(m_strOutputPath, *m_pFiles)) || !file.Open(m_strOutputPath)) {
        run.Log(QStringLiteral("Error creating file ") + m_strOutputPath, LOG_ERROR);
        run.StopRun();
        return 0;
    }

    EncoderStream stream(library);
    uint32_t nChunk = 0;
    uint32_t nBufferBytes = 0;
    uint32_t code = library.pInitStream(config.data(), &nChunk, &nBufferBytes, &stream.m_handle);
    if (code == BE_ERR_SUCCESSFUL) {
        stream.m_bOpen = true;
        if (nChunk == 0 || nBufferBytes == 0 || (m_nOutputChannels == 2 && nChunk % 2 != 0)) {
            code = BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
    }
    if (code != BE_ERR_SUCCESSFUL) {
        run.Log(CodeText("Error opening encoding stream (%lu)", code), LOG_ERROR);
        run.StopRun();
        return 0;
    }

    const bool bStereo = m_nOutputChannels == 2;
    std::vector<float> left(bStereo ? nChunk / 2 : nChunk);
    std::vector<float> right(bStereo ? nChunk / 2 : 0);
    std::vector<unsigned char> output(nBufferBytes);
    RingBuffer<int, 1>* input = m_pEncoderInput;
    uint32_t want = nChunk;
    uint32_t dwLastUpdate = GetTickCount();
    bool bWriteFailed = false;
    auto reportWriteError = [&] {
        if (!bWriteFailed) {
            run.Log(QStringLiteral("Output file write error"), LOG_ERROR);
        }
        bWriteFailed = true;
        run.StopRun();
    };

    while (run.IsRunning()) {
        if (run.IsPaused()) {
            Sleep(100);
            continue;
        }
        const uint32_t now = GetTickCount();
        if (ProgressUpdateDue(now, dwLastUpdate)) {
            dwLastUpdate = now;
            run.PostProgress(
                ComputePercent(run.m_nTaskEncoded.load(std::memory_order_relaxed), m_nTotalSamples),
                ComputePercent(run.m_nRunEncoded.load(std::memory_order_relaxed),
                               run.m_nRunTotal.load(std::memory_order_relaxed)),
                false);
        }

        uint32_t n = want;
        if (input->Used(0) < want) {
            if (m_bDriverBusy.load(std::memory_order_acquire) ||
                m_bConverterBusy.load(std::memory_order_acquire)) {
                Sleep(1);
                continue;
            }
            // Both producers idle: everything they wrote before going idle is
            // visible now, so the count taken here is the true rest.
            const uint32_t avail = input->Used(0);
            if (avail < want) {
                n = avail;
                want = 0;
            }
        }
        // Values straight from the ring to floats; a frame cut by the ring's
        // end is put together from both runs.
        input->ReadInPlace(n, 0, ChunkScaler(left.data(), bStereo ? right.data() : nullptr));

        uint32_t bytes = 0;
        if (bStereo) {
            code = library.pEncodeChunk(stream.m_handle, n / 2, left.data(), right.data(), output.data(),
                                        &bytes);
        } else {
            code = library.pEncodeChunk(stream.m_handle, n, left.data(), nullptr, output.data(), &bytes);
        }
        if (code != BE_ERR_SUCCESSFUL) {
            run.Log(CodeText("beEncodeChunk() failed (%lu)", code), LOG_ERROR);
            run.StopRun();
            return 0;
        }
        if (!file.Write(output.data(), std::min(bytes, nBufferBytes))) {
            reportWriteError();
        }

        run.m_nTaskEncoded.store(run.m_nTaskEncoded.load(std::memory_order_relaxed) + n,
                                 std::memory_order_relaxed);
        run.m_nRunEncoded.store(run.m_nRunEncoded.load(std::memory_order_relaxed) + n,
                                std::memory_order_relaxed);
        const double secs = SecondsOf(n);
        run.m_fRunSeconds.store(run.m_fRunSeconds.load(std::memory_order_relaxed) + secs,
                                std::memory_order_relaxed);
        run.m_fTaskSeconds.store(run.m_fTaskSeconds.load(std::memory_order_relaxed) + secs,
                                 std::memory_order_relaxed);
        if (want == 0) {
            break;
        }
    }

    uint32_t bytes = 0;
    code = library.pDeinitStream(stream.m_handle, output.data(), &bytes);
    if (code != BE_ERR_SUCCESSFUL) {
        run.Log(CodeText("beExitStream failed (%lu)", code), LOG_ERROR);
        run.StopRun();
        return 1;
    }
    if (!file.Write(output.data(), std::min(bytes, nBufferBytes))) {
        reportWriteError();
    }
    stream.Close();
    if (!file.Close()) {
        reportWriteError();
    }
    // The header goes into the closed file; this also frees the stream.
    const QByteArray path = QFile::encodeName(m_strOutputPath);
    if (library.pWriteInfoTag) {
        library.pWriteInfoTag(stream.m_handle, path.constData());
    } else {
        library.pWriteVBRHeader(path.constData());
    }

    if (run.IsRunning()) {
        run.PostProgress(
            ComputePercent(run.m_nTaskEncoded.load(std::memory_order_relaxed), m_nTotalSamples, true),
            ComputePercent(run.m_nRunEncoded.load(std::memory_order_relaxed),
                           run.m_nRunTotal.load(std::memory_order_relaxed), true),
            true);
    }
    return 1;
}

void CJoinRun::EncodeThreadProc(std::shared_ptr<CJoinRun> run, std::shared_ptr<CConversionTask> task)
{
    task->m_bEncoderBusy.store(1, std::memory_order_release);
    if (task->m_nOutputFormat == kOutputFormatMp3) {
        try {
            task->Encode(*run);
        } catch (...) {
            run->StopRun();
            run->Log(QStringLiteral("An error occurred while encoding ") + task->m_strOutputPath, LOG_ERROR);
        }
    }
    task->m_bEncoderBusy.store(0, std::memory_order_release);
}
