// The information and tag readers over a corpus of third-party MP3 files
// (MANIFEST.tsv holds what ffprobe, ffmpeg and mutagen report for each):
// every file is read without a crash or hang and without being changed; for
// the files those tools read cleanly the stream figures agree with them; and
// for every file whose tags mutagen read without an error the tag cells
// agree with its fields. Each difference is listed below with the reading
// rule or library behaviour behind it.
#include "CodePage.h"
#include "InformationReader.h"
#include "StreamReader.h"
#include "TestMain.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// One row of MANIFEST.tsv, by column name. JSON cells are compact JSON and
// never hold a raw tab or newline; the message cells escape theirs as "\t"
// and "\n", and are only tested for being empty, so no cell is unescaped.
using ManifestRow = QHash<QString, QString>;

QString Col(const ManifestRow& row, const char* name)
{
    return row.value(QString::fromLatin1(name));
}

QJsonObject JsonCol(const ManifestRow& row, const char* name)
{
    return QJsonDocument::fromJson(Col(row, name).toUtf8()).object();
}

// ffprobe exited 0, ffmpeg decoded without an error line, and mutagen raised
// nothing for the file type, the stream or any tag.
bool ReadCleanlyByTools(const ManifestRow& row)
{
    return !Col(row, "ffprobe_messages").startsWith(QLatin1String("rc=")) &&
           Col(row, "ffmpeg_decode_messages").isEmpty() && Col(row, "mutagen_errors_json").isEmpty();
}

QString Joined(const QJsonValue& value)
{
    if (!value.isArray()) {
        return value.toString();
    }
    QStringList parts;
    for (const QJsonValue& part : value.toArray()) {
        parts << part.toString();
    }
    return parts.join(QLatin1Char(' '));
}

// Windows-1252, the 8-bit code page the test pins, differs from Latin-1 (as
// mutagen decodes 8-bit tag text) only in 0x80-0x9F. glibc leaves 0x81, 0x8D,
// 0x8F, 0x90 and 0x9D undefined; those become U+FFFD.
QString Cp1252FromLatin1(const QString& latin1)
{
    static const char16_t k80to9F[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                         0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString text = latin1;
    for (QChar& c : text) {
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) {
            c = QChar(k80to9F[c.unicode() - 0x80]);
        }
    }
    return text;
}

// The kind of VBR header in the first MPEG audio frame after a leading ID3v2
// tag: "Xing", "Info", "VBRI", or empty.
QString VbrHeaderKind(const QByteArray& bytes)
{
    const auto at = [&bytes](qsizetype i) { return i < bytes.size() ? uint8_t(bytes[i]) : uint8_t(0); };
    qsizetype pos = 0;
    if (bytes.startsWith("ID3") && bytes.size() >= 10) {
        const qsizetype body = (qsizetype(at(6) & 0x7F) << 21) | (qsizetype(at(7) & 0x7F) << 14) |
                               (qsizetype(at(8) & 0x7F) << 7) | qsizetype(at(9) & 0x7F);
        pos = 10 + body + (at(3) >= 4 && (at(5) & 0x10) ? 10 : 0);
    }
    for (; pos + 4 <= bytes.size(); ++pos) {
        const uint8_t b1 = at(pos + 1), b2 = at(pos + 2), b3 = at(pos + 3);
        const int version = (b1 >> 3) & 3, layer = (b1 >> 1) & 3, bitrate = b2 >> 4, rate = (b2 >> 2) & 3;
        if (at(pos) != 0xFF || (b1 & 0xE0) != 0xE0 || version == 1 || layer == 0 || bitrate == 0 ||
            bitrate == 15 || rate == 3) {
            continue;
        }
        const bool mono = (b3 >> 6) == 3;
        const qsizetype sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
        const QByteArray xing = bytes.mid(pos + 4 + ((b1 & 1) ? 0 : 2) + sideInfo, 4);
        if (xing == "Xing" || xing == "Info") {
            return QString::fromLatin1(xing);
        }
        return bytes.mid(pos + 36, 4) == "VBRI" ? QStringLiteral("VBRI") : QString();
    }
    return QString();
}

QByteArray Sha256Of(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

const char* const kColumnNames[COL_COUNT] = {
    "Name",     "Path",          "Type",     "Tag",       "Artist",  "Album Artist",
    "Album",    "Track",         "Title",    "Genre",     "Date",    "Comment",
    "Size(MB)", "Last Modified", "Duration", "Frequency", "Channel", "Bitrate"};

// Stream figures that differ from the tools', and why. seconds: the
// duration libmpg123 gives, or -1 when the file is unusable.
struct StreamException
{
    const char* path;
    double seconds;
    bool trouble; // unusable with a "Trouble with mpg123" message
    const char* rule;
};

// Without a VBR header, libmpg123 gives an estimate from the file size at the
// first frame's size (the reader never scans the file), counting the bytes of
// an ID3v2 tag and of junk as audio; ffprobe's estimate leaves the tag out.
const StreamException kStreamExceptions[] = {
    {"mutagen/97-unknown-23-update.mp3", 4.0831, false, "size estimate counts the 1,314-byte ID3v2 tag"},
    {"mutagen/silence-44-s.mp3", 4.0831, false, "size estimate counts the 1,314-byte ID3v2 tag"},
    {"mutagen/bad-TYER-frame.mp3", 0.9695, false, "size estimate counts the 1,167-byte ID3v2 tag"},
    {"mutagen/id3v1v2-combined.mp3", 0.2562, false, "size estimate counts the 2,225-byte ID3v2 tag"},
    {"mutagen/id3v22-test.mp3", 0.2562, false, "size estimate counts the 2,225-byte ID3v2 tag"},
    {"mutagen/issue_21.id3", 1.0251, false,
     "size estimate counts the 256-byte ID3v2 tag and the cut last frame"},
    {"taglib/duplicate_id3v2.mp3", 0.6351, false,
     "size estimate counts both ID3v2 tags (3,943 bytes and more)"},
    {"tinytag/image-text-encoding.mp3", 2.7891, false, "size estimate counts the 6,820-byte ID3v2 tag"},
    {"tinytag/mpeg1_id3v2.mp2", 0.1265, false, "size estimate counts the 1,055-byte ID3v2 tag"},
    {"taglib/invalid-frames1.mp3", 0.4078, false,
     "size estimate counts the junk before and between the frames"},
    {"taglib/invalid-frames2.mp3", 0.3290, false, "size estimate counts the invalid frames"},
    {"tinytag/id3_frames.mp3", 3.4470, false,
     "VBR stream without a VBR header: estimated at the first frame's 64 kbit/s (mutagen gives the same "
     "3.447 s)"},
    {"taglib/rare_frames.mp3", 0.4099, false,
     "libmpg123 reads no VBRI header, so it estimates from the file size instead of the 222 s the header "
     "claims"},
    // ffprobe's estimate counts the 128-byte ID3v1 tag as audio; the
    // reader's 0.1045 s is ffmpeg's decoded length (4,608 samples).
    {"tinytag/mpeg1_id3v1.mp2", 0.1045, false, "ffprobe's size estimate counts the ID3v1 tag"},
    // A length of 0 or below makes a file unusable.
    {"mutagen/lame397v9short.mp3", -1, false,
     "the LAME header's delay and padding exceed its frames: libmpg123 gives -300 samples (mutagen 0 s)"},
    {"taglib/itunes10.mp3", -1, false,
     "the Info header counts no frames: length 0 (mutagen 0 s, ffmpeg decodes nothing)"},
    {"tinytag/vbr_xing_header_short.mp3", -1, false,
     "the Xing header counts no frames: length 0 (mutagen 0 s)"},
    // The ID3v2 tag's stated size runs 2 bytes into the first MPEG frame;
    // libmpg123 skips the tag by that size and finds no frame after it.
    {"tinytag/empty_frame.mp3", -1, true, "libmpg123 reports a read error after the overlapping ID3v2 tag"},
};

// Tags of a file that the tag library does not see, so none of their fields
// and no Tag-cell name are expected from them.
struct UnseenTag
{
    const char* path;
    const char* tag; // key in fields_json
    const char* rule;
};

const UnseenTag kUnseenTags[] = {
    // The APE tag sits before a Lyrics3v2 block; TagLib 1.13 looks for it only
    // right before the ID3v1 tag or at the end of the file.
    {"mutagen/apev2-lyricsv2.mp3", "apev2", "APE tag behind a Lyrics3v2 block"},
    // TagLib 1.13 ends an ID3v2 tag at its first frame of size 0, so it has
    // no frames and counts as empty (not named); mutagen skips such frames.
    {"tinytag/empty_frame.mp3", "id3v2", "the first frame (TIT2) has size 0"},
    {"mutagen/bad-POPM-frame.mp3", "id3v2", "the first frame (TENC) has size 0"},
    // A frame whose stated size runs past the tag is dropped with the rest.
    {"tinytag/id3_broken_frame_size.mp3", "id3v2",
     "the only frame (TIT2) states one byte more than the tag holds"},
    // TagLib 1.13 stops at a frame with a data length indicator and one byte.
    {"taglib/broken-tenc.id3", "id3v2", "the first frame (TENC) is broken"},
};

// Cells that differ from what the tools report, with the reading rule that
// makes them differ.
struct CellException
{
    const char* path;
    int column;
    const char* text; // UTF-8
    const char* rule;
};

const CellException kCellExceptions[] = {
    // The ID3v2 reader takes the first frame of each id; mutagen merges the
    // values of repeated frames into one list.
    {"mutagen/silence-44-s.mp3", COL_ARTIST, "piman", "first of two TPE1 frames"},
    {"tinytag/id3_multiple_artists.mp3", COL_ARTIST, "artist1", "first of four TPE1 frames"},
    {"tinytag/duplicate_fields.mp3", COL_ARTIST, "duplicate artist", "first of three TPE1 frames"},
    {"tinytag/duplicate_fields.mp3", COL_ALBUM, "duplicate album", "first of three TALB frames"},
    {"tinytag/duplicate_fields.mp3", COL_TRACK, "1", "first of three TRCK frames"},
    {"tinytag/duplicate_fields.mp3", COL_TITLE, "duplicate title", "first of three TIT2 frames"},
    {"tinytag/duplicate_fields.mp3", COL_COMMENT, "duplicate comment", "first of three COMM frames"},
    // The date is TDRC as TagLib gives it: an ID3v2.3 TYER frame presented as
    // TDRC with its text as stored (the Latin-1 bytes FE FF, read in the code
    // page); mutagen drops a year that is not a date.
    {"mutagen/bad-TYER-frame.mp3", COL_DATE, "\xC3\xBE\xC3\xBF", "TYER text as stored"},
    // TagLib presents TYER as TDRC only in ID3v2.2 and 2.3 tags; in this
    // ID3v2.4 tag the Date cell stays empty and the ID3v1 year fills it.
    {"mutagen/id3v1v2-combined.mp3", COL_DATE, "1337", "TYER in an ID3v2.4 tag; the ID3v1 year"},
    // TagLib 1.13 keeps the ID3v2.2 TDA frame as an unknown frame, so TDRC is
    // the TYE year alone (mutagen adds TDA's day and month).
    {"taglib/id3v22-tda.mp3", COL_DATE, "2010", "TYE without TDA"},
    // TagLib 1.13 stops reading frames an extended header's length before
    // the tag's end; the last frame, TCON, is not read.
    {"tinytag/cbr.mp3", COL_GENRE, "", "last frame lost after an extended header"},
    // TagLib 1.13 reads UTF-16 text without a byte order mark as empty.
    {"tinytag/cut_off_titles.mp3", COL_ARTIST, "", "UTF-16 text without BOM"},
    {"tinytag/cut_off_titles.mp3", COL_ALBUM, "", "UTF-16 text without BOM"},
    {"tinytag/cut_off_titles.mp3", COL_TITLE, "", "UTF-16 text without BOM"},
    // TagLib finds an ID3v2 tag after junk that comes before the first
    // frame; mutagen looks only at the start of the file.
    {"taglib/garbage.mp3", COL_TAG, "ID3v2.3  ", "ID3v2 tag after 2,047 bytes of junk"},
    {"taglib/garbage.mp3", COL_ARTIST, "Artist A", "ID3v2 tag after 2,047 bytes of junk"},
    {"taglib/garbage.mp3", COL_TITLE, "Title A", "ID3v2 tag after 2,047 bytes of junk"},
};

template <typename Entry, size_t N> const Entry* Find(const Entry (&table)[N], const QString& path)
{
    for (const Entry& entry : table) {
        if (path == QLatin1String(entry.path)) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsUnseen(const QString& path, const char* tag)
{
    for (const UnseenTag& entry : kUnseenTags) {
        if (path == QLatin1String(entry.path) && qstrcmp(entry.tag, tag) == 0) {
            return true;
        }
    }
    return false;
}

// The Tag cell and the eight tag cells as the reading rules derive them from
// mutagen's per-tag fields: ID3v2, then APE, then ID3v1, each filling only
// cells still empty.
QStringList ExpectedTagCells(const QString& path, const QString& tagsPresent, const QJsonObject& fields)
{
    QStringList cells(COL_COUNT);
    const auto fill = [&cells](int column, const QString& text) {
        if (cells[column].isEmpty()) {
            cells[column] = text;
        }
    };
    const auto field = [](const QJsonObject& tag, const char* key) { return tag.value(QLatin1String(key)); };

    for (const QString& kind : tagsPresent.split(QLatin1Char(','))) {
        if (kind.startsWith(QLatin1String("ID3v2.")) && !IsUnseen(path, "id3v2")) {
            cells[COL_TAG] += QStringLiteral("ID3v2.%1  ").arg(kind.mid(6, 1));
        } else if (kind.startsWith(QLatin1String("APEv")) && !IsUnseen(path, "apev2")) {
            cells[COL_TAG] += kind + QStringLiteral("  ");
        }
    }

    // ID3v2: a frame's values joined by a blank, as the tag library's frame
    // text gives them; the genre with numeric references resolved and
    // repeats dropped; the comment without a description, else the first.
    if (!IsUnseen(path, "id3v2")) {
        const QJsonObject id3v2 = fields.value(QStringLiteral("id3v2")).toObject();
        fill(COL_ARTIST, Joined(field(id3v2, "artist")));
        fill(COL_ALBUM_ARTIST, Joined(field(id3v2, "albumartist")));
        fill(COL_ALBUM, Joined(field(id3v2, "album")));
        fill(COL_TRACK, Joined(field(id3v2, "track")));
        fill(COL_TITLE, Joined(field(id3v2, "title")));
        QStringList genres;
        for (const QJsonValue& genre : field(id3v2, "genre_interpreted").toArray()) {
            if (!genres.contains(genre.toString())) {
                genres << genre.toString();
            }
        }
        fill(COL_GENRE, genres.join(QLatin1Char(' ')));
        fill(COL_DATE, Joined(field(id3v2, "date")));
        const QJsonArray comments = field(id3v2, "comment").toArray();
        for (const QJsonValue& comment : comments) {
            if (comment[QLatin1String("desc")].toString().isEmpty()) {
                fill(COL_COMMENT, Joined(comment[QLatin1String("text")]));
                break;
            }
        }
        if (!comments.isEmpty()) {
            fill(COL_COMMENT, Joined(comments.first()[QLatin1String("text")]));
        }
    }

    if (!IsUnseen(path, "apev2")) {
        const QJsonObject ape = fields.value(QStringLiteral("apev2")).toObject();
        fill(COL_ARTIST, Joined(field(ape, "artist")));
        fill(COL_ALBUM_ARTIST, Joined(field(ape, "albumartist")));
        fill(COL_ALBUM, Joined(field(ape, "album")));
        fill(COL_TRACK, Joined(field(ape, "track")));
        fill(COL_TITLE, Joined(field(ape, "title")));
        fill(COL_GENRE, Joined(field(ape, "genre")));
        fill(COL_DATE, Joined(field(ape, "date")));
        fill(COL_COMMENT, Joined(field(ape, "comment")));
    }

    // ID3v1: 8-bit text in the code page; track and year only when not 0;
    // named only when it has a field (mutagen leaves empty fields out).
    const QJsonObject id3v1 = fields.value(QStringLiteral("id3v1")).toObject();
    const auto v1 = [&](const char* key) { return Cp1252FromLatin1(field(id3v1, key).toString()); };
    fill(COL_ARTIST, v1("artist"));
    fill(COL_ALBUM, v1("album"));
    if (v1("track").toInt() != 0) {
        fill(COL_TRACK, QString::number(v1("track").toInt()));
    }
    fill(COL_TITLE, v1("title"));
    fill(COL_GENRE, field(id3v1, "genre_interpreted").toArray().at(0).toString());
    if (v1("year").toInt() != 0) {
        fill(COL_DATE, QString::number(v1("year").toInt()));
    }
    fill(COL_COMMENT, v1("comment"));
    for (auto it = id3v1.constBegin(); it != id3v1.constEnd(); ++it) {
        if (it.key() != QLatin1String("version") && it.key() != QLatin1String("genre_number")) {
            cells[COL_TAG] += QStringLiteral("ID3v1");
            break;
        }
    }
    return cells;
}

} // namespace

class TestCorpus : public QObject
{
    Q_OBJECT

    QString m_dir;
    QMap<QString, ManifestRow> m_manifest; // by path relative to the corpus folder

    QString FullPath(const QString& relative) const { return m_dir + QLatin1Char('/') + relative; }

    bool LoadManifest(QString* error)
    {
        QFile file(FullPath(QStringLiteral("MANIFEST.tsv")));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot open MANIFEST.tsv");
            return false;
        }
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.isEmpty()) {
            *error = QStringLiteral("MANIFEST.tsv is empty");
            return false;
        }
        const QStringList header = lines.front().split(QLatin1Char('\t'));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(QLatin1Char('\t'));
            if (cells.size() != header.size()) {
                *error = QStringLiteral("MANIFEST.tsv line %1 has %2 cells, not %3")
                             .arg(i + 1)
                             .arg(cells.size())
                             .arg(header.size());
                return false;
            }
            ManifestRow row;
            for (qsizetype c = 0; c < header.size(); ++c) {
                row.insert(header[c], cells[c]);
            }
            m_manifest.insert(row.value(QStringLiteral("path")), row);
        }
        return true;
    }

    // The corpus files on disk, relative paths, sorted.
    QStringList CorpusFiles() const
    {
        QStringList files;
        QDirIterator it(m_dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString relative = QDir(m_dir).relativeFilePath(it.next());
            if (relative.contains(
                    QLatin1Char('/'))) { // the top level holds only the README and the references
                files << relative;
            }
        }
        files.sort();
        return files;
    }

    // Files whose tags mutagen read without an error: the files the tools
    // read cleanly, and also tag-only fixtures and cut-off audio, whose tags
    // are worth comparing all the same.
    bool TagsReadByMutagen(const ManifestRow& row) const
    {
        const QJsonObject errors = JsonCol(row, "mutagen_errors_json");
        return ReadCleanlyByTools(row) ||
               (!Col(row, "tags_present").contains(QLatin1String("ERROR")) &&
                !errors.contains(QLatin1String("id3v2")) && !errors.contains(QLatin1String("apev2")) &&
                !errors.contains(QLatin1String("id3v1")));
    }

    static FileRowData Read(const QString& path) { return ReadFoundFile(g_hInfoDecoder, FoundFileOf(path)); }

private slots:
    void initTestCase()
    {
        m_dir = TestEnv::CorpusDir();
        if (m_dir.isEmpty()) {
            QSKIP("The MP3 corpus folder is absent (set TARNWICK_CORPUS_DIR or the CMake cache variable "
                  "TARNWICK_CORPUS_DIR); the corpus tests are skipped.");
        }
        QString error;
        QVERIFY2(LoadManifest(&error), qPrintable(error));
        // 8-bit tag text is read in this code page whatever the machine's
        // locale, so the expected texts hold everywhere.
        qputenv("TARNWICK_CODEPAGE", "WINDOWS-1252");
        CodePage::Reset();
        QVERIFY(InitInfoDecoder());
    }

    void cleanupTestCase()
    {
        ExitInfoDecoder();
        qunsetenv("TARNWICK_CODEPAGE");
        CodePage::Reset();
    }

    // The manifest describes exactly the files on disk, and every listed
    // difference names a file of the set it is applied to.
    void manifestMatchesCorpus()
    {
        QCOMPARE(CorpusFiles(), QStringList(m_manifest.keys()));
        for (const StreamException& entry : kStreamExceptions) {
            QVERIFY2(ReadCleanlyByTools(m_manifest.value(QString::fromUtf8(entry.path))), entry.path);
        }
        for (const UnseenTag& entry : kUnseenTags) {
            const ManifestRow row = m_manifest.value(QString::fromUtf8(entry.path));
            QVERIFY2(TagsReadByMutagen(row), entry.path);
            QVERIFY2(JsonCol(row, "fields_json").contains(QLatin1String(entry.tag)), entry.path);
        }
        for (const CellException& entry : kCellExceptions) {
            QVERIFY2(TagsReadByMutagen(m_manifest.value(QString::fromUtf8(entry.path))), entry.path);
        }
    }

    void everyFileIsRead_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& relative : CorpusFiles()) {
            QTest::newRow(qPrintable(relative)) << relative;
        }
    }

    // Any file: no crash, no hang, a consistent row, and the file unchanged.
    void everyFileIsRead()
    {
        QFETCH(QString, path);
        const QString full = FullPath(path);
        const QByteArray hashBefore = Sha256Of(full);
        const QDateTime modifiedBefore = QFileInfo(full).lastModified();

        const FileRowData row = Read(full);

        QCOMPARE(row.cells.size(), qsizetype(COL_COUNT));
        QCOMPARE(row.cells[COL_NAME], QFileInfo(path).fileName());
        QCOMPARE(row.cells[COL_PATH], QFileInfo(full).absolutePath() + QLatin1Char('/'));
        QCOMPARE(row.info.m_dSizeMB * 1048576.0, Col(m_manifest.value(path), "size_bytes").toDouble());
        const CAudioFileInfo& info = row.info;
        QVERIFY(std::isfinite(info.m_dDuration) && info.m_dDuration >= 0);
        QCOMPARE(info.m_dDuration,
                 CAudioFileInfo::DurationOf(info.m_nSamples, info.m_nSampleRate, info.m_nChannels));
        if (!row.strTrouble.isEmpty()) {
            QVERIFY(row.strTrouble.startsWith(QLatin1String("Trouble with mpg123: ")));
            QVERIFY(info.m_bUnusable);
        }
        if (info.m_bUnusable) {
            QCOMPARE(row.cells[COL_TYPE], QStringLiteral("Unknown"));
            QVERIFY(row.bTypeInRed);
            QVERIFY(row.cells[COL_DURATION].isEmpty());
            QVERIFY(row.cells[COL_FREQUENCY].isEmpty());
            QVERIFY(row.cells[COL_CHANNEL].isEmpty());
        } else {
            QCOMPARE(row.cells[COL_TYPE], QFileInfo(path).suffix().toUpper());
            QVERIFY(!row.bTypeInRed);
            QVERIFY(info.m_nSampleRate > 0 && info.m_nChannels > 0 && info.m_nSamples > 0);
            QVERIFY(row.bDurationKnown);
        }

        QCOMPARE(Sha256Of(full), hashBefore);
        QCOMPARE(hashBefore, Col(m_manifest.value(path), "sha256").toLatin1());
        QCOMPARE(QFileInfo(full).lastModified(), modifiedBefore);
    }

    void streamAgreesWithTools_data()
    {
        QTest::addColumn<QString>("path");
        for (auto it = m_manifest.cbegin(); it != m_manifest.cend(); ++it) {
            if (ReadCleanlyByTools(it.value())) {
                QTest::newRow(qPrintable(it.key())) << it.key();
            }
        }
    }

    // Rate and channels as ffprobe has them; the duration as mutagen reads
    // it from a Xing, Info or VBRI header, else ffprobe's estimate.
    void streamAgreesWithTools()
    {
        QFETCH(QString, path);
        const ManifestRow& ref = m_manifest[path];
        const QString full = FullPath(path);
        const FileRowData row = Read(full);
        const StreamException* exception = Find(kStreamExceptions, path);
        if (exception && exception->seconds < 0) {
            QVERIFY2(row.info.m_bUnusable, exception->rule);
            QCOMPARE(row.cells[COL_TYPE], QStringLiteral("Unknown"));
            QCOMPARE(!row.strTrouble.isEmpty(), exception->trouble);
            return;
        }
        QVERIFY2(!row.info.m_bUnusable, qPrintable(row.strTrouble));
        const uint32_t rate = Col(ref, "ffprobe_sample_rate").toUInt();
        const uint32_t channels = Col(ref, "ffprobe_channels").toUInt();
        QCOMPARE(row.info.m_nSampleRate, rate);
        QCOMPARE(row.info.m_nChannels, channels);
        QCOMPARE(row.cells[COL_FREQUENCY], QStringLiteral("%1 Hz").arg(rate));
        QCOMPARE(row.cells[COL_CHANNEL],
                 channels == 1 ? QStringLiteral("1 (Mono)") : QStringLiteral("2 (Stereo)"));

        QFile file(full);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString header = VbrHeaderKind(file.readAll());
        const double duration = row.info.m_dDuration;
        const double length =
            JsonCol(ref, "mutagen_mp3_info_json").value(QStringLiteral("length")).toDouble();
        const double probed = Col(ref, "ffprobe_duration_s").toDouble();
        const bool agrees = header.isEmpty() ? std::abs(duration - probed) <= 0.02 * probed
                                             : std::abs(duration - length) <= 0.05;
        const QString figures = QStringLiteral("%1 s; VBR header \"%2\", mutagen %3 s, ffprobe %4 s")
                                    .arg(duration)
                                    .arg(header)
                                    .arg(length)
                                    .arg(probed);
        if (exception) {
            QVERIFY2(!agrees, qPrintable(QStringLiteral("listed difference no longer needed: ") + figures));
            QVERIFY2(std::abs(duration - exception->seconds) <= 0.001,
                     qPrintable(figures + QStringLiteral(", listed %1 s (%2)")
                                              .arg(exception->seconds)
                                              .arg(QLatin1String(exception->rule))));
        } else {
            QVERIFY2(agrees, qPrintable(figures));
        }
    }

    void tagsAgreeWithTools_data()
    {
        QTest::addColumn<QString>("path");
        for (auto it = m_manifest.cbegin(); it != m_manifest.cend(); ++it) {
            if (TagsReadByMutagen(it.value())) {
                QTest::newRow(qPrintable(it.key())) << it.key();
            }
        }
    }

    // The Tag cell and the eight tag cells as the reading rules derive them
    // from mutagen's fields, apart from the listed differences.
    void tagsAgreeWithTools()
    {
        QFETCH(QString, path);
        const ManifestRow& ref = m_manifest[path];
        const FileRowData row = Read(FullPath(path));
        QStringList expected = ExpectedTagCells(path, Col(ref, "tags_present"), JsonCol(ref, "fields_json"));
        for (const CellException& entry : kCellExceptions) {
            if (path == QLatin1String(entry.path)) {
                const QString listed = QString::fromUtf8(entry.text);
                QVERIFY2(expected[entry.column] != listed,
                         qPrintable(
                             QStringLiteral("listed difference no longer needed: %1 (%2)")
                                 .arg(QLatin1String(kColumnNames[entry.column]), QLatin1String(entry.rule))));
                expected[entry.column] = listed;
            }
        }

        QStringList differences;
        for (int column = COL_TAG; column <= COL_COMMENT; ++column) {
            if (row.cells[column] != expected[column]) {
                differences << QStringLiteral("%1: got \"%2\", expected \"%3\"")
                                   .arg(QLatin1String(kColumnNames[column]), row.cells[column],
                                        expected[column]);
            }
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QStringLiteral("; "))));
    }
};

TARNWICK_TEST_MAIN(TestCorpus)
#include "tst_corpus.moc"
