// The stream half of the information reader.
#include "StreamReader.h"

#include "TextFormat.h"

#include <QFile>

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

mpg123_handle* g_hInfoDecoder = nullptr;

bool InitInfoDecoder()
{
    if (g_hInfoDecoder) {
        return true;
    }
    mpg123_init();
    int error = MPG123_OK;
    g_hInfoDecoder = mpg123_new(nullptr, &error);
    if (!g_hInfoDecoder) {
        return false;
    }
    mpg123_param(g_hInfoDecoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    return true;
}

void ExitInfoDecoder()
{
    if (g_hInfoDecoder) {
        mpg123_delete(g_hInfoDecoder);
        g_hInfoDecoder = nullptr;
    }
}

namespace {

// A descriptor that closes itself.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

QString TroubleText(mpg123_handle* handle)
{
    const char* text = handle ? mpg123_strerror(handle) : mpg123_plain_strerror(MPG123_OK);
    return FormatText("Trouble with mpg123: %s", text ? text : "");
}

} // namespace

int OpenRegularFile(const QString& path)
{
    // Non-blocking, so a named pipe called x.mp3 cannot hang the open; only
    // regular files are read as audio.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Blocking reads from here on; a regular file never blocks for long.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

StreamOpenResult ReadStreamFigures(mpg123_handle* handle, const QString& path, CAudioFileInfo& info,
                                   QString* troubleText, bool* durationKnown)
{
    FileDescriptor fd(OpenRegularFile(path));
    if (fd.Get() < 0) {
        if (durationKnown) {
            *durationKnown = false;
        }
        info.m_bUnusable = 1;
        return StreamOpenResult::NotReadable;
    }
    return ReadStreamFiguresFromFd(handle, fd.Get(), info, troubleText, durationKnown);
}

StreamOpenResult ReadStreamFiguresFromFd(mpg123_handle* handle, int fd, CAudioFileInfo& info,
                                         QString* troubleText, bool* durationKnown)
{
    if (durationKnown) {
        *durationKnown = false;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (!handle || ::lseek(fd, 0, SEEK_SET) != 0 || mpg123_open_fd(handle, fd) != MPG123_OK ||
        mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) {
        if (troubleText) {
            *troubleText = TroubleText(handle);
        }
        if (handle) {
            mpg123_close(handle);
        }
        info.m_bUnusable = 1;
        return StreamOpenResult::Trouble;
    }
    const off_t frames = mpg123_length(handle);
    mpg123_close(handle);

    if (frames < 0) {
        // The length is unknown: never a negative duration.
        info.m_bUnusable = 1;
        return StreamOpenResult::Ok;
    }
    info.m_nSamples = static_cast<int64_t>(frames) * channels;
    info.m_nChannels = static_cast<uint32_t>(channels);
    info.m_nSampleRate = static_cast<uint32_t>(rate);
    info.m_dDuration = CAudioFileInfo::DurationOf(info.m_nSamples, info.m_nSampleRate, info.m_nChannels);
    if (durationKnown) {
        *durationKnown = true;
    }
    if (info.m_nChannels == 0 || info.m_nSampleRate == 0 || info.m_nSamples == 0) {
        info.m_bUnusable = 1;
    }
    return StreamOpenResult::Ok;
}
