// The information and tag readers: a file on disk read into a list row.
#include "CodePage.h"
#include "Fixtures.h"
#include "FileTypes.h"
#include "Id3v2Guard.h"
#include "InformationReader.h"
#include "StreamReader.h"
#include "TagText.h"
#include "TestMain.h"

#include <QTemporaryDir>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// Tags written by hand, so each frame's encoding and each tag's presence is
// exactly what a case needs.
struct HandTags
{
    QList<std::tuple<const char*, QString, TagLib::String::Type>> id3v2Frames;
    QList<std::pair<const char*, QString>> apeItems;
    bool ape = false;
    QString v1Artist, v1Album, v1Title;
    unsigned v1Track = 0, v1Year = 0;
};

TagLib::String ToTagLib(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

void WriteTags(const QString& path, const HandTags& tags)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    int kinds = 0;
    if (!tags.id3v2Frames.isEmpty()) {
        kinds |= TagLib::MPEG::File::ID3v2;
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        for (const auto& [id, text, encoding] : tags.id3v2Frames) {
            auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
            frame->setText(ToTagLib(text));
            tag->addFrame(frame);
        }
    }
    if (tags.ape || !tags.apeItems.isEmpty()) {
        kinds |= TagLib::MPEG::File::APE;
        TagLib::APE::Tag* tag = file.APETag(true);
        for (const auto& [key, value] : tags.apeItems) {
            tag->addValue(key, ToTagLib(value));
        }
    }
    if (!tags.v1Artist.isEmpty() || !tags.v1Title.isEmpty() || tags.v1Track || tags.v1Year) {
        kinds |= TagLib::MPEG::File::ID3v1;
        TagLib::ID3v1::Tag* tag = file.ID3v1Tag(true);
        tag->setArtist(ToTagLib(tags.v1Artist));
        tag->setAlbum(ToTagLib(tags.v1Album));
        tag->setTitle(ToTagLib(tags.v1Title));
        tag->setTrack(tags.v1Track);
        tag->setYear(tags.v1Year);
    }
    QVERIFY(file.save(kinds, TagLib::File::StripOthers, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate));
}

QByteArray SyncSafe(uint32_t value)
{
    QByteArray bytes(4, 0);
    for (int i = 3; i >= 0; --i) {
        bytes[i] = char(value & 0x7F);
        value >>= 7;
    }
    return bytes;
}

// An ID3v2.4 tag with one compressed TIT2 frame that inflates to inflated bytes.
QByteArray CompressedFrameTag(uint32_t inflated)
{
    z_stream z = {};
    deflateInit(&z, 9);
    QByteArray out;
    std::vector<unsigned char> zeros(1 << 20, 0);
    zeros[0] = 3; // UTF-8 text encoding byte
    std::vector<unsigned char> buffer(1 << 16);
    uint32_t left = inflated;
    while (true) {
        const uint32_t n = std::min<uint32_t>(left, uint32_t(zeros.size()));
        z.next_in = zeros.data();
        z.avail_in = n;
        left -= n;
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buffer.data();
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            out.append(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
        zeros[0] = 0;
        if (flush == Z_FINISH) {
            break;
        }
    }
    deflateEnd(&z);
    const QByteArray frameBody = SyncSafe(inflated) + out;
    const QByteArray frame =
        QByteArray("TIT2") + SyncSafe(uint32_t(frameBody.size())) + QByteArray("\x00\x09", 2) + frameBody;
    return QByteArray("ID3\x04\x00\x00", 6) + SyncSafe(uint32_t(frame.size())) + frame;
}

// The tag library does not save an empty APE tag: put a bare APEv2 footer
// (no items) in front of the file's ID3v1 tag.
void InsertEmptyApeTagBeforeId3v1(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    QByteArray footer("APETAGEX", 8);
    const auto le32 = [&footer](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            footer.append(char((v >> (8 * i)) & 0xFF));
        }
    };
    le32(2000); // version
    le32(32);   // tag size without header: the footer alone
    le32(0);    // items
    le32(0);    // flags: footer, no header
    footer.append(QByteArray(8, 0));
    bytes.insert(bytes.size() - 128, footer);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestInformationReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString MakeFile(const QString& name, double seconds = 1.0, int rate = 44100, int channels = 2)
    {
        FixtureSpec recipe;
        recipe.seconds = seconds;
        recipe.rate = rate;
        recipe.channels = channels;
        const QString path = m_dir.filePath(name);
        QFile::remove(path);
        if (!MakeMp3(path, recipe)) {
            qWarning("fixture %s not made", qPrintable(path));
        }
        return path;
    }

    FileRowData Read(const QString& path) { return ReadFoundFile(g_hInfoDecoder, FoundFileOf(path)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(InitInfoDecoder());
    }

    void cleanupTestCase() { ExitInfoDecoder(); }

    void streamCells()
    {
        const QString path = MakeFile(QStringLiteral("Stereo Song.mp3"), 3.5);
        const FileRowData row = Read(path);
        QCOMPARE(row.info.m_bUnusable, 0);
        QVERIFY(row.strTrouble.isEmpty());
        QVERIFY(row.bDurationKnown);
        QCOMPARE(row.cells[COL_NAME], QStringLiteral("Stereo Song.mp3"));
        QCOMPARE(row.cells[COL_PATH], m_dir.path() + QLatin1Char('/'));
        QCOMPARE(row.cells[COL_TYPE], QStringLiteral("MP3"));
        QCOMPARE(row.cells[COL_TAG], QString());
        QCOMPARE(row.cells[COL_DURATION], QStringLiteral("00:00:03"));
        QCOMPARE(row.cells[COL_FREQUENCY], QStringLiteral("44100 Hz"));
        QCOMPARE(row.cells[COL_CHANNEL], QStringLiteral("2 (Stereo)"));
        QCOMPARE(row.cells[COL_BITRATE], QStringLiteral("%1 kbps").arg(row.info.m_nBitrate));
        QVERIFY(qAbs(row.info.m_nBitrate - 128) <= 1);
        const qint64 bytes = QFileInfo(path).size();
        QCOMPARE(row.info.m_dSizeMB, double(bytes) / 1048576.0);
        QCOMPARE(row.cells[COL_SIZE], QString::asprintf("%.2f", double(bytes) / 1048576.0));
        QCOMPARE(row.cells[COL_MODIFIED],
                 QFileInfo(path).lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        QCOMPARE(row.info.m_nSamples, int64_t(3.5 * 44100) * 2);
    }

    void shortMonoFileAndOddNames()
    {
        FileRowData row = Read(MakeFile(QStringLiteral("noextension"), 0.5, 22050, 1));
        QCOMPARE(row.cells[COL_TYPE], QStringLiteral("NOEXTENSION"));
        QCOMPARE(row.info.m_bUnusable, 0);
        QCOMPARE(row.cells[COL_DURATION], QString()); // shorter than a second
        QCOMPARE(row.cells[COL_CHANNEL], QStringLiteral("1 (Mono)"));
        row = Read(MakeFile(QStringLiteral("upper.Mp3")));
        QCOMPARE(row.cells[COL_TYPE], QStringLiteral("MP3"));
    }

    void tagPrecedence()
    {
        const QString path = MakeFile(QStringLiteral("tags.mp3"));
        HandTags tags;
        tags.id3v2Frames = {{"TPE1", QStringLiteral("V2 Artist"), TagLib::String::UTF8},
                            {"TIT2", QString(), TagLib::String::UTF8},
                            {"TRCK", QStringLiteral("3/12"), TagLib::String::Latin1}};
        tags.apeItems = {{"ARTIST", QStringLiteral("APE Artist")},
                         {"ALBUMARTIST", QStringLiteral("Second key")},
                         {"TITLE", QStringLiteral("APE Title")},
                         {"YEAR", QStringLiteral("1999")}};
        tags.v1Artist = QStringLiteral("V1 Artist");
        tags.v1Album = QStringLiteral("V1 Album");
        tags.v1Title = QStringLiteral("V1 Title");
        tags.v1Track = 9;
        tags.v1Year = 2001;
        WriteTags(path, tags);
        const FileRowData row = Read(path);
        QCOMPARE(row.cells[COL_TAG], QStringLiteral("ID3v2.4  APEv2  ID3v1"));
        QCOMPARE(row.cells[COL_ARTIST], QStringLiteral("V2 Artist"));
        QCOMPARE(row.cells[COL_ALBUM_ARTIST], QStringLiteral("Second key"));
        QCOMPARE(row.cells[COL_ALBUM], QStringLiteral("V1 Album"));
        // An empty ID3v2 title leaves the cell to the next tag.
        QCOMPARE(row.cells[COL_TITLE], QStringLiteral("APE Title"));
        QCOMPARE(row.cells[COL_TRACK], QStringLiteral("3/12"));
        QCOMPARE(row.info.m_nTrack, uint8_t(3));
        QCOMPARE(row.info.m_nTrackTotal, uint8_t(12));
        QCOMPARE(row.cells[COL_DATE], QStringLiteral("1999"));
    }

    void apeKeysAndEmptyApeTag()
    {
        const QString path = MakeFile(QStringLiteral("ape.mp3"));
        HandTags tags;
        tags.apeItems = {{"ALBUM ARTIST", QStringLiteral("First key")},
                         {"ALBUMARTIST", QStringLiteral("Second")}};
        WriteTags(path, tags);
        QCOMPARE(Read(path).cells[COL_ALBUM_ARTIST], QStringLiteral("First key"));

        const QString empty = MakeFile(QStringLiteral("empty-ape.mp3"));
        HandTags none;
        none.v1Title = QStringLiteral("Only v1");
        none.v1Track = 4;
        WriteTags(empty, none);
        InsertEmptyApeTagBeforeId3v1(empty);
        const FileRowData row = Read(empty);
        // An empty APE tag is still named; its missing track sets the number to 0
        // before the ID3v1 reader finds the cell empty.
        QCOMPARE(row.cells[COL_TAG], QStringLiteral("APEv2  ID3v1"));
        QCOMPARE(row.cells[COL_TRACK], QStringLiteral("4"));
        QCOMPARE(row.info.m_nTrack, uint8_t(4));
        QCOMPARE(row.cells[COL_ALBUM_ARTIST], QString());
    }

    void id3v1ZeroYearAndTrack()
    {
        const QString path = MakeFile(QStringLiteral("v1.mp3"));
        HandTags tags;
        tags.v1Artist = QStringLiteral("Artist");
        WriteTags(path, tags);
        const FileRowData row = Read(path);
        QCOMPARE(row.cells[COL_TAG], QStringLiteral("ID3v1"));
        QCOMPARE(row.cells[COL_TRACK], QString());
        QCOMPARE(row.cells[COL_DATE], QString());
        QCOMPARE(row.cells[COL_ALBUM_ARTIST], QString());
    }

    void acceptedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("skipped");
        QTest::newRow("lower") << "x.mp3" << true << false;
        QTest::newRow("upper") << "Y.MP3" << true << false;
        QTest::newRow("mixed") << "z.Mp3" << true << false;
        QTest::newRow("companion file") << "._x.mp3" << true << true;
        QTest::newRow("other extension") << "x.mp3.txt" << false << false;
        QTest::newRow("no dot") << "mp3" << false << false;
        QTest::newRow("extension only in the middle") << "a.mp3x" << false << false;
    }

    void acceptedNames()
    {
        QFETCH(QString, name);
        QTEST(HasAcceptedExtension(name), "accepted");
        QTEST(IsSkippedByFolderScans(name), "skipped");
    }

    void splitTrackText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("total");
        QTest::newRow("with total") << "3/12" << 3 << 12;
        QTest::newRow("no total keeps it") << "7" << 7 << 99;
        QTest::newRow("low 8 bits") << "300" << 44 << 99;
        QTest::newRow("blanks and sign") << "  +5/ 6" << 5 << 6;
        QTest::newRow("negative") << "-1" << 255 << 99;
        QTest::newRow("no number") << "abc/x" << 0 << 0;
        QTest::newRow("empty") << "" << 0 << 99;
        QTest::newRow("too long for an integer") << "99999999999/3" << int(99999999999LL & 0xFF) << 3;
        QTest::newRow("far too long") << "99999999999999999999999" << 255 << 99;
    }

    void splitTrackText()
    {
        QFETCH(QString, text);
        uint8_t track = 1;
        uint8_t total = 99;
        SplitTrackText(text, track, total);
        QTEST(int(track), "track");
        QTEST(int(total), "total");
    }

    void codePageRule()
    {
        const QString path = MakeFile(QStringLiteral("latin1.mp3"));
        HandTags tags;
        tags.id3v2Frames = {{"TPE1", QStringLiteral("\u00e9"), TagLib::String::Latin1},
                            {"TALB", QStringLiteral("\u00e9"), TagLib::String::UTF8},
                            {"TIT2", QStringLiteral("\U0001F600 x"), TagLib::String::UTF8}};
        tags.apeItems = {{"GENRE", QStringLiteral("\u00e9")}};
        WriteTags(path, tags);

        FileRowData row = Read(path);
        QCOMPARE(row.cells[COL_ARTIST], QStringLiteral("\u00e9"));
        QCOMPARE(row.cells[COL_TITLE], QStringLiteral("\U0001F600 x"));

        // Only the Latin-1 frame is read in the code page.
        qputenv("TARNWICK_CODEPAGE", "CP1251");
        CodePage::Reset();
        row = Read(path);
        qunsetenv("TARNWICK_CODEPAGE");
        CodePage::Reset();
        QCOMPARE(row.cells[COL_ARTIST], QStringLiteral("\u0439"));
        QCOMPARE(row.cells[COL_ALBUM], QStringLiteral("\u00e9"));
        QCOMPARE(row.cells[COL_GENRE], QStringLiteral("\u00e9"));
    }

    void largeFields()
    {
        const QString path = MakeFile(QStringLiteral("large.mp3"));
        const QString big(64 * 1024, QLatin1Char('x'));
        HandTags tags;
        tags.id3v2Frames = {{"TIT2", big, TagLib::String::UTF8}};
        WriteTags(path, tags);
        const FileRowData row = Read(path);
        QCOMPARE(row.cells[COL_TITLE], big);
        QCOMPARE(row.info.m_bUnusable, 0);
    }

    void unusableFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("trouble");
        QTest::newRow("empty file") << "empty.mp3" << true;
        QTest::newRow("directory") << "folder.mp3" << false;
        QTest::newRow("deleted after listing") << "gone.mp3" << false;
        QTest::newRow("tag beyond the file") << "longtag.mp3" << true;
        QTest::newRow("undecodable name") << "undecodable.mp3" << false;
    }

    void unusableFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, trouble);
        const QString path = m_dir.filePath(name);
        FoundFile found;
        if (name == QLatin1String("folder.mp3")) {
            QDir().mkpath(path);
            found = FoundFileOf(path);
        } else if (name == QLatin1String("gone.mp3")) {
            MakeFile(name);
            found = FoundFileOf(path);
            QFile::remove(path);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (name == QLatin1String("longtag.mp3")) {
                f.write(QByteArray("ID3\x04\x00\x00", 6) + SyncSafe(200000000) + QByteArray(500, 'x'));
            }
            f.close();
            found = FoundFileOf(path);
            if (name == QLatin1String("undecodable.mp3")) {
                found.bUndecodableName = true;
                MakeFile(name);
            }
        }
        const FileRowData row = ReadFoundFile(g_hInfoDecoder, found);
        QCOMPARE(row.info.m_bUnusable, 1);
        QVERIFY(row.bTypeInRed);
        QCOMPARE(row.cells[COL_TYPE], QStringLiteral("Unknown"));
        QCOMPARE(row.cells[COL_DURATION], QString());
        QCOMPARE(row.cells[COL_FREQUENCY], QString());
        QCOMPARE(row.cells[COL_CHANNEL], QString());
        QCOMPARE(!row.strTrouble.isEmpty(), trouble);
        QCOMPARE(row.cells[COL_NAME], name);
    }

    void compressedFrameBombIsNotInflated()
    {
        const QString path = MakeFile(QStringLiteral("bomb.mp3"));
        HandTags tags;
        tags.v1Title = QStringLiteral("Safe title");
        WriteTags(path, tags);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray audio = f.readAll();
        f.close();
        const QByteArray tag = CompressedFrameTag(200u * 1024 * 1024);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(tag + audio);
        f.close();

        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        const Id3v2Probe probe = ProbeId3v2(fd);
        ::close(fd);
        QVERIFY(probe.bPresent);
        QVERIFY(probe.bUnsafe);
        QCOMPARE(probe.nTagBytes, long(tag.size()));

        const FileRowData row = Read(path);
        QCOMPARE(row.cells[COL_TAG], QStringLiteral("ID3v2.4  ID3v1"));
        QCOMPARE(row.cells[COL_TITLE], QStringLiteral("Safe title"));
        QCOMPARE(row.info.m_bUnusable, 0);

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // In a child with little memory to spare the read must still succeed.
        const pid_t child = ::fork();
        if (child == 0) {
            long pages = 0;
            QFile statm(QStringLiteral("/proc/self/statm"));
            if (statm.open(QIODevice::ReadOnly)) {
                pages = statm.readAll().split(' ').value(0).toLong();
            }
            const rlim_t limit = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + 96u * 1024 * 1024;
            const rlimit rl = {limit, limit};
            ::setrlimit(RLIMIT_AS, &rl);
            const FileRowData childRow = Read(path);
            ::_exit(childRow.cells[COL_TITLE] == QLatin1String("Safe title") ? 0 : 3);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "reading the file ran out of memory");
#endif
    }
};

TARNWICK_TEST_MAIN(TestInformationReader)
#include "tst_informationreader.moc"
