// The information and tag readers over a corpus of third-party MP3 files
// (MANIFEST.tsv holds what ffprobe, ffmpeg and mutagen report for each):
// every file is read without a crash or hang and without being changed, and
// for the files those tools read cleanly the stream figures and tag cells
// agree with them, apart from the listed differences.
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
    static const char16_t k80to9F[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
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

const char* const kColumnNames[COL_COUNT] = {"Name",  "Path",    "Type",     "Tag",           "Artist",   "Album Artist",
                                             "Album", "Track",   "Title",    "Genre",         "Date",     "Comment",
                                             "Size",  "Modified", "Duration", "Frequency", "Channel", "Bitrate"};

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
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
            if (relative.contains(QLatin1Char('/'))) { // the top level holds only the README and the references
                files << relative;
            }
        }
        files.sort();
        return files;
    }

    void AddCleanRows()
    {
        QTest::addColumn<QString>("path");
        for (auto it = m_manifest.cbegin(); it != m_manifest.cend(); ++it) {
            if (ReadCleanlyByTools(it.value())) {
                QTest::newRow(qPrintable(it.key())) << it.key();
            }
        }
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
        // locale, so the expected texts below hold everywhere.
        qputenv("TARNWICK_CODEPAGE", "WINDOWS-1252");
        CodePage::Reset();
        QVERIFY(InitInfoDecoder());
    }

    void cleanupTestCase()
    {
        ExitInfoDecoder();
        CodePage::Reset();
    }

    // The manifest describes exactly the files on disk, so the clean set
    // below covers every file the tools read cleanly.
    void manifestMatchesCorpus()
    {
        QCOMPARE(CorpusFiles(), QStringList(m_manifest.keys()));
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
        QCOMPARE(info.m_dDuration, CAudioFileInfo::DurationOf(info.m_nSamples, info.m_nSampleRate, info.m_nChannels));
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

    void streamAgreesWithTools_data() { AddCleanRows(); }

    // Rate and channels as ffprobe has them; the duration as mutagen reads
    // it from a Xing, Info or VBRI header, else ffprobe's estimate.
    void streamAgreesWithTools()
    {
        QFETCH(QString, path);
        const ManifestRow& ref = m_manifest[path];
        const QString full = FullPath(path);
        const FileRowData row = Read(full);
        QVERIFY2(!row.info.m_bUnusable, qPrintable(row.strTrouble));
        QCOMPARE(row.info.m_nSampleRate, Col(ref, "ffprobe_sample_rate").toUInt());
        QCOMPARE(row.info.m_nChannels, Col(ref, "ffprobe_channels").toUInt());
        QCOMPARE(row.cells[COL_FREQUENCY], Col(ref, "ffprobe_sample_rate") + QStringLiteral(" Hz"));

        QFile file(full);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString header = VbrHeaderKind(file.readAll());
        const double duration = row.info.m_dDuration;
        if (!header.isEmpty()) {
            const double length = JsonCol(ref, "mutagen_mp3_info_json").value(QStringLiteral("length")).toDouble();
            QVERIFY2(std::abs(duration - length) <= 0.05,
                     qPrintable(QStringLiteral("%1 header: %2 s, mutagen %3 s").arg(header).arg(duration).arg(length)));
        } else {
            const double probed = Col(ref, "ffprobe_duration_s").toDouble();
            QVERIFY2(std::abs(duration - probed) <= 0.02 * probed,
                     qPrintable(QStringLiteral("no VBR header: %1 s, ffprobe %2 s").arg(duration).arg(probed)));
        }
    }

    void tagsAgreeWithTools_data() { AddCleanRows(); }

    void tagsAgreeWithTools()
    {
        QFETCH(QString, path);
        const ManifestRow& ref = m_manifest[path];
        const FileRowData row = Read(FullPath(path));
        const QJsonObject fields = JsonCol(ref, "fields_json");

        QStringList expected(COL_COUNT);
        const auto fill = [&expected](int column, const QString& text) {
            if (expected[column].isEmpty()) {
                expected[column] = text;
            }
        };
        for (const QString& kind : Col(ref, "tags_present").split(QLatin1Char(','))) {
            if (kind.startsWith(QLatin1String("ID3v2."))) {
                expected[COL_TAG] += QStringLiteral("ID3v2.%1  ").arg(kind.mid(6, 1));
            } else if (kind.startsWith(QLatin1String("APEv"))) {
                expected[COL_TAG] += kind + QStringLiteral("  ");
            }
        }
        // ID3v2 first: one frame's values joined by a blank, as the tag
        // library's frame text gives them.
        const QJsonObject id3v2 = fields.value(QStringLiteral("id3v2")).toObject();
        fill(COL_ARTIST, Joined(id3v2.value(QStringLiteral("artist"))));
        fill(COL_ALBUM_ARTIST, Joined(id3v2.value(QStringLiteral("albumartist"))));
        fill(COL_ALBUM, Joined(id3v2.value(QStringLiteral("album"))));
        fill(COL_TRACK, Joined(id3v2.value(QStringLiteral("track"))));
        fill(COL_TITLE, Joined(id3v2.value(QStringLiteral("title"))));
        QStringList genres;
        for (const QJsonValue& genre : id3v2.value(QStringLiteral("genre_interpreted")).toArray()) {
            if (!genres.contains(genre.toString())) {
                genres << genre.toString();
            }
        }
        fill(COL_GENRE, genres.join(QLatin1Char(' ')));
        fill(COL_DATE, Joined(id3v2.value(QStringLiteral("date"))));
        // The comment without a description, else the first.
        const QJsonArray comments = id3v2.value(QStringLiteral("comment")).toArray();
        for (const QJsonValue& comment : comments) {
            if (comment[QStringLiteral("desc")].toString().isEmpty()) {
                fill(COL_COMMENT, Joined(comment[QStringLiteral("text")]));
            }
        }
        if (!comments.isEmpty()) {
            fill(COL_COMMENT, Joined(comments.first()[QStringLiteral("text")]));
        }
        // APE next.
        const QJsonObject ape = fields.value(QStringLiteral("apev2")).toObject();
        const struct
        {
            int column;
            const char* key;
        } apeKeys[] = {{COL_ARTIST, "artist"}, {COL_ALBUM_ARTIST, "albumartist"}, {COL_ALBUM, "album"},
                       {COL_TRACK, "track"},   {COL_TITLE, "title"},              {COL_GENRE, "genre"},
                       {COL_DATE, "date"},     {COL_COMMENT, "comment"}};
        for (const auto& key : apeKeys) {
            fill(key.column, Joined(ape.value(QString::fromLatin1(key.key))));
        }
        // ID3v1 last, its 8-bit text in the code page; year and track only
        // when not 0.
        const QJsonObject id3v1 = fields.value(QStringLiteral("id3v1")).toObject();
        const auto v1 = [&id3v1](const char* key) { return Cp1252FromLatin1(id3v1.value(QString::fromLatin1(key)).toString()); };
        fill(COL_ARTIST, v1("artist"));
        fill(COL_ALBUM, v1("album"));
        if (v1("track").toInt() != 0) {
            fill(COL_TRACK, QString::number(v1("track").toInt()));
        }
        fill(COL_TITLE, v1("title"));
        fill(COL_GENRE, id3v1.value(QStringLiteral("genre_interpreted")).toArray().first().toString());
        if (v1("year").toInt() != 0) {
            fill(COL_DATE, QString::number(v1("year").toInt()));
        }
        fill(COL_COMMENT, v1("comment"));
        // An ID3v1 tag without any field is not named.
        bool id3v1HasField = false;
        for (auto it = id3v1.constBegin(); it != id3v1.constEnd(); ++it) {
            id3v1HasField |= it.key() != QLatin1String("version") && it.key() != QLatin1String("genre_number");
        }
        if (id3v1HasField) {
            expected[COL_TAG] += QStringLiteral("ID3v1");
        }

        QStringList differences;
        for (int column = COL_TAG; column <= COL_COMMENT; ++column) {
            if (row.cells[column] != expected[column]) {
                differences << QStringLiteral("%1: got \"%2\", expected \"%3\"")
                                   .arg(QLatin1String(kColumnNames[column]), row.cells[column], expected[column]);
            }
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QStringLiteral("; "))));
    }
};

TARNWICK_TEST_MAIN(TestCorpus)
#include "tst_corpus.moc"
