// Checking the inputs of a command-line join and summing up its output.
#include "JoinSources.h"

#include "JoinConsole.h"
#include "JoinEvents.h"
#include "StreamReader.h"
#include "TextFormat.h"

#include <QFile>
#include <QFileInfo>

#include <mpg123.h>

namespace {

QString UnusableReason(const QString& path, StreamOpenResult result, const QString& trouble)
{
    const QFileInfo info(path);
    if (result == StreamOpenResult::Trouble) {
        return trouble;
    }
    if (result == StreamOpenResult::NotReadable) {
        if (!info.exists()) {
            return QStringLiteral("no such file");
        }
        return info.isFile() ? QStringLiteral("cannot be read") : QStringLiteral("not a regular file");
    }
    return QStringLiteral("no MP3 audio found");
}

// The bit rate of the first audio frame, in kbit/s; 0 when unknown.
int FrameBitrate(const QString& path)
{
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle) {
        return 0;
    }
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    int kbps = 0;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_frameinfo info = {};
    if (mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK &&
        mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK &&
        mpg123_info(handle, &info) == MPG123_OK) {
        kbps = info.bitrate;
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return kbps;
}

} // namespace

bool GatherSources(const QStringList& inputs, bool skipUnusable, std::vector<CFileToBeJoin>& files)
{
    bool allUsable = true;
    for (const QString& input : inputs) {
        const QString path = QFileInfo(input).absoluteFilePath();
        CAudioFileInfo info;
        QString trouble;
        const StreamOpenResult result = ReadStreamFigures(g_hInfoDecoder, path, info, &trouble);
        if (info.m_bUnusable) {
            const QString reason = UnusableReason(path, result, trouble);
            if (skipUnusable) {
                PrintKindLine(QStringLiteral("skipped %1: %2").arg(path, reason), LOG_WARNING);
            } else {
                PrintKindLine(QStringLiteral("%1: %2").arg(path, reason), LOG_ERROR);
                allUsable = false;
            }
            continue;
        }
        files.push_back({path, info.m_nSampleRate, info.m_nChannels, static_cast<uint64_t>(info.m_nSamples)});
    }
    if (!allUsable) {
        PrintKindLine(QStringLiteral("nothing joined (use --skip-unusable to leave such files out)"),
                      LOG_ERROR);
    }
    return allUsable;
}

QString OutputSummaryLine(const QString& path)
{
    CAudioFileInfo info;
    ReadStreamFigures(g_hInfoDecoder, path, info);
    return FormatText("%s\t%.3f s\t%u Hz\t%u\t%d kbps", path.toUtf8().constData(), info.m_dDuration,
                      info.m_nSampleRate, info.m_nChannels, FrameBitrate(path));
}
