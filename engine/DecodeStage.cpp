// The decode stage: one source MP3 file to 32-bit signed interleaved PCM in
// the decode ring, with libmpg123, at the file's own rate and channel count.
#include "ConversionTask.h"
#include "JoinLibraries.h"
#include "JoinRings.h"
#include "JoinRun.h"

#include "TickCount.h"

#include <QFile>

#include <mpg123.h>

#include <vector>

mpg123_handle* g_hJoinDecoder = nullptr;

bool InitJoinDecoder()
{
    if (g_hJoinDecoder) {
        return true;
    }
    mpg123_init();
    int error = MPG123_OK;
    g_hJoinDecoder = mpg123_new(nullptr, &error);
    if (!g_hJoinDecoder) {
        return false;
    }
    // Quiet, and never resampled behind the stage's back: a stream at another
    // rate than asked for must fail instead.
    mpg123_param(g_hJoinDecoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_param(g_hJoinDecoder, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    return true;
}

void ExitJoinDecoder()
{
    if (g_hJoinDecoder) {
        mpg123_delete(g_hJoinDecoder);
        g_hJoinDecoder = nullptr;
    }
}

namespace {

QString Mpg123Text(mpg123_handle* handle)
{
    const char* text = handle ? mpg123_strerror(handle) : mpg123_plain_strerror(MPG123_BAD_HANDLE);
    return QString::fromLocal8Bit(text ? text : "");
}

// Closes the file on the handle when the stage leaves.
class OpenStream
{
public:
    explicit OpenStream(mpg123_handle* handle) : m_handle(handle) {}
    ~OpenStream() { mpg123_close(m_handle); }
    OpenStream(const OpenStream&) = delete;
    OpenStream& operator=(const OpenStream&) = delete;

private:
    mpg123_handle* m_handle;
};

} // namespace

int CConversionTask::Decode(CJoinRun& run)
{
    mpg123_handle* handle = g_hJoinDecoder;
    RingBuffer<int, 1>* ring = g_pDecodeRing;
    const long rate = long(m_nSourceRate);
    const int channels = int(m_nSourceChannels);
    if (!handle) {
        run.Log(QStringLiteral("Trouble with mpg123: ") + Mpg123Text(nullptr), LOG_ERROR);
        LogFailedSource(run, LOG_ERROR);
        return 0;
    }

    // The only output format accepted is the file's own, as signed 32 bit, so
    // the stage never resamples or remixes. It must be set before the open.
    mpg123_format_none(handle);
    const bool bFormatSet = rate > 0 && (channels == 1 || channels == 2) &&
                            mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_32) == MPG123_OK &&
                            mpg123_format_support(handle, rate, MPG123_ENC_SIGNED_32) != 0;
    if (!bFormatSet) {
        run.Log(QStringLiteral("Invalid Format!"), LOG_ERROR);
        LogFailedSource(run, LOG_ERROR);
        return 0;
    }
    // The stream's own format is accepted at every rate too, so a file that
    // no longer has the recorded format is recognised below instead of being
    // converted by libmpg123 (or failing inside it with a message of its own).
    const long* rates = nullptr;
    size_t nRates = 0;
    mpg123_rates(&rates, &nRates);
    for (size_t i = 0; i < nRates; ++i) {
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_32);
    }
    if (mpg123_open(handle, QFile::encodeName(m_strSourcePath).constData()) != MPG123_OK) {
        run.Log(QStringLiteral("Trouble with mpg123: ") + Mpg123Text(handle), LOG_ERROR);
        LogFailedSource(run, LOG_ERROR);
        mpg123_close(handle);
        return 0;
    }
    OpenStream stream(handle);

    // A file that no longer has the recorded format (replaced, emptied, not
    // MP3 at all) gives nothing; the stream itself must have the format, not
    // only libmpg123's output of it.
    long gotRate = 0;
    int gotChannels = 0;
    int gotEncoding = 0;
    mpg123_frameinfo frame{};
    if (mpg123_getformat(handle, &gotRate, &gotChannels, &gotEncoding) != MPG123_OK || gotRate != rate ||
        gotChannels != channels || gotEncoding != MPG123_ENC_SIGNED_32 ||
        mpg123_info(handle, &frame) != MPG123_OK || frame.rate != rate ||
        (frame.mode == MPG123_M_MONO ? 1 : 2) != channels) {
        run.Log(QStringLiteral("Invalid Format!"), LOG_ERROR);
        LogFailedSource(run, LOG_ERROR);
        return 0;
    }

    const size_t blockBytes = mpg123_outblock(handle) / 4 * 4;
    const uint32_t blockValues = uint32_t(blockBytes / 4);
    std::vector<int> buffer(std::max<size_t>(blockValues, 1));
    uint64_t nDecoded = 0;
    int status = MPG123_OK;
    while (run.IsRunning()) {
        if (ring->Free() < blockValues) {
            Sleep(1);
            continue;
        }
        size_t done = 0;
        status = mpg123_read(handle, reinterpret_cast<unsigned char*>(buffer.data()), blockBytes, &done);
        const uint32_t n = uint32_t(done / 4);
        // Decoded values go in unchanged; they always fit, since the free
        // space was checked against a whole block.
        ring->Write(buffer.data(), n);
        nDecoded += n;
        if (status != MPG123_OK) {
            break;
        }
    }
    if (!run.IsRunning() || status == MPG123_DONE) {
        if (nDecoded == 0 && run.IsRunning()) {
            run.Log(QStringLiteral("Invalid Format!"), LOG_ERROR);
            LogFailedSource(run, LOG_ERROR);
            return 0;
        }
        return 1;
    }
    // The stream ended with an error or a change of format.
    const QString trouble =
        QStringLiteral("Trouble with mpg123: ") +
        (status == MPG123_ERR ? Mpg123Text(handle) : QString::fromLocal8Bit(mpg123_plain_strerror(status)));
    if (nDecoded == 0) {
        run.Log(trouble, LOG_ERROR);
        LogFailedSource(run, LOG_ERROR);
        return 0;
    }
    run.Log(trouble, LOG_WARNING);
    LogFailedSource(run, LOG_WARNING);
    return 1;
}
