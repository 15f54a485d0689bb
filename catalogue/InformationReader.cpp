// The information reader: size, dates, stream figures, tags and bit rate of
// one found file, read into a row that is not yet in the list.
#include "InformationReader.h"

#include "Id3v2Guard.h"
#include "StreamReader.h"
#include "TagReader.h"
#include "TagStream.h"
#include "TextFormat.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <unistd.h>

namespace {

constexpr double kBytesToMB = 9.5367431640625e-07; // 1 / 1,048,576

class FdCloser
{
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int m_fd;
};

// Tag kinds, tag cells and bit rate from one read-only open of the file. A
// leading ID3v2 tag whose frames would inflate beyond reason is hidden from
// the tag library; its kind is still named, its fields are not read.
void ReadTagsAndBitrate(int fd, const QString& path, FileRowData& row)
{
    const Id3v2Probe probe = ProbeId3v2(fd);
    const long hidden = probe.bPresent && probe.bUnsafe ? probe.nTagBytes : 0;
    TagStream stream(fd, hidden, QFile::encodeName(path));
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true,
                            TagLib::AudioProperties::Fast);
    if (!file.isValid()) {
        if (hidden) {
            row.cells[COL_TAG] = FormatText("ID3v2.%d  ", probe.nMajorVersion);
        }
        return;
    }
    row.cells[COL_TAG] = MakeTagKindsText(file, hidden ? probe.nMajorVersion : 0);
    if (const TagLib::ID3v2::Tag* id3v2 = file.ID3v2Tag(false); id3v2 && !id3v2->isEmpty()) {
        ReadId3v2Fields(*id3v2, row);
    }
    if (const TagLib::APE::Tag* ape = file.APETag(false)) {
        ReadApeFields(*ape, row);
    }
    if (const TagLib::ID3v1::Tag* id3v1 = file.ID3v1Tag(false); id3v1 && !id3v1->isEmpty()) {
        ReadId3v1Fields(*id3v1, row);
    }
    if (const TagLib::AudioProperties* properties = file.audioProperties();
        properties && properties->bitrate() != 0) {
        row.info.m_nBitrate = properties->bitrate();
        row.cells[COL_BITRATE] = FormatText("%d kbps", row.info.m_nBitrate);
    }
}

} // namespace

QString DurationText(double seconds)
{
    const long long secs = static_cast<long long>(seconds);
    if (secs == 0) {
        return QString();
    }
    return FormatText("%02lld:%02lld:%02lld", secs / 3600, (secs % 3600) / 60, secs % 60);
}

QString ChannelText(uint32_t channels)
{
    if (channels == 1) {
        return QStringLiteral("1 (Mono)");
    }
    if (channels == 2) {
        return QStringLiteral("2 (Stereo)");
    }
    return FormatText("%u", channels);
}

QString LastModifiedText(const QDateTime& time)
{
    if (!time.isValid()) {
        return QString();
    }
    return time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

FoundFile FoundFileOf(const QString& path)
{
    const QFileInfo info(path);
    FoundFile file;
    file.strName = info.fileName();
    file.strPath = info.absoluteFilePath();
    file.nLength = info.size();
    file.lastWrite = info.lastModified();
    return file;
}

void ReadAudioInfo(mpg123_handle_struct* handle, const QString& path, FileRowData& row)
{
    for (int column = COL_TAG; column <= COL_COMMENT; ++column) {
        row.cells[column].clear();
    }
    const int fd = row.info.m_bUnusable ? -1 : OpenRegularFile(path);
    FdCloser closer(fd);
    if (fd < 0) {
        row.info.m_bUnusable = 1;
    } else {
        if (ReadStreamFiguresFromFd(handle, fd, row.info, &row.strTrouble, &row.bDurationKnown) ==
            StreamOpenResult::Trouble) {
            row.info.m_bUnusable = 1;
        }
        ReadTagsAndBitrate(fd, path, row);
    }
    if (!row.info.m_bUnusable) {
        row.cells[COL_DURATION] = DurationText(row.info.m_dDuration);
        row.cells[COL_CHANNEL] = ChannelText(row.info.m_nChannels);
        row.cells[COL_FREQUENCY] = FormatText("%u Hz", row.info.m_nSampleRate);
        return;
    }
    row.cells[COL_TYPE] = QStringLiteral("Unknown");
    row.bTypeInRed = true;
}

FileRowData ReadFoundFile(mpg123_handle_struct* handle, const FoundFile& file)
{
    FileRowData row;
    row.cells[COL_NAME] = file.strName;
    const qsizetype slash = file.strPath.lastIndexOf(QLatin1Char('/'));
    row.cells[COL_PATH] = slash >= 0 ? file.strPath.left(slash + 1) : QString();

    row.info.m_dSizeMB = static_cast<double>(static_cast<quint64>(file.nLength)) * kBytesToMB;
    row.cells[COL_SIZE] = FormatText("%.2f", row.info.m_dSizeMB);

    const qsizetype dot = file.strName.lastIndexOf(QLatin1Char('.'));
    row.cells[COL_TYPE] = (dot >= 0 ? file.strName.mid(dot + 1) : file.strName).toUpper();
    row.cells[COL_MODIFIED] = LastModifiedText(file.lastWrite);

    // A name that is not what is on disk is never opened: another file could
    // be read in its place.
    row.info.m_bUnusable = file.bUndecodableName ? 1 : 0;
    ReadAudioInfo(handle, file.strPath, row);
    return row;
}
