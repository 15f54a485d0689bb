// The MP3 fixture maker of the test support library and tarnwick-mkfixture.
#include "Fixtures.h"
#include "TestMain.h"

#include <QProcess>
#include <QTemporaryDir>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cmath>

using Signal = FixtureSpec::Signal;

Q_DECLARE_METATYPE(FixtureSpec::Signal)

namespace {

QString FromTag(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true));
}

QString Id3v2Text(TagLib::ID3v2::Tag* tag, const char* id)
{
    const auto& frames = tag->frameListMap()[TagLib::ByteVector(id)];
    return frames.isEmpty() ? QString() : FromTag(frames.front()->toString());
}

QString ApeText(TagLib::APE::Tag* tag, const char* key)
{
    const auto& items = tag->itemListMap();
    const auto it = items.find(TagLib::String(key).upper());
    return it == items.end() ? QString() : FromTag(it->second.toString());
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFixtures : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString PathOf(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void decodesToExactLength_data();
    void decodesToExactLength();
    void sameSpecSameBytes();
    void withoutInfoHeaderDecodesLonger();
    void tagsReadBack();
    void refusesBadSpec_data();
    void refusesBadSpec();
    void signalLevels();
    void commandLineTool();
};

void TestFixtures::decodesToExactLength_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<Signal>("signal");
    QTest::addColumn<int>("bitrate");
    QTest::newRow("44100 stereo sine") << 44100 << 2 << 1.0 << Signal::Sine << 128;
    QTest::newRow("22050 mono noise") << 22050 << 1 << 0.73 << Signal::Noise << 64;
    QTest::newRow("48000 stereo sweep") << 48000 << 2 << 1.5 << Signal::Sweep << 192;
    QTest::newRow("8000 mono silence") << 8000 << 1 << 0.5 << Signal::Silence << 16;
    QTest::newRow("32000 stereo quiet at 96") << 32000 << 2 << 0.25 << Signal::QuietTone << 96;
    QTest::newRow("44100 at 96 stays 44100") << 44100 << 2 << 0.4 << Signal::Sine << 96;
    // Bit rates whose frames are too small for libmp3lame's own Info frame.
    QTest::newRow("44100 stereo at 32") << 44100 << 2 << 0.6 << Signal::Sweep << 32;
    QTest::newRow("8000 mono at 8") << 8000 << 1 << 0.9 << Signal::Sine << 8;
    QTest::newRow("24000 stereo at 48") << 24000 << 2 << 0.5 << Signal::Noise << 48;
}

void TestFixtures::decodesToExactLength()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(double, seconds);
    QFETCH(Signal, signal);
    QFETCH(int, bitrate);
    FixtureSpec recipe;
    recipe.rate = rate;
    recipe.channels = channels;
    recipe.seconds = seconds;
    recipe.signal = signal;
    recipe.bitrate = bitrate;
    const QString path = PathOf("exact.mp3");
    QString error;
    QVERIFY2(MakeMp3(path, recipe, &error), qPrintable(error));

    const DecodedAudio audio = DecodeMp3(path);
    QVERIFY2(audio.ok, qPrintable(audio.error));
    QCOMPARE(audio.rate, long(rate));
    QCOMPARE(audio.channels, channels);
    QCOMPARE(audio.Frames(), std::llround(rate * seconds));
    const Mp3Scan scan = ScanMp3(path);
    QVERIFY2(scan.ok, qPrintable(scan.error));
    QVERIFY(scan.hasInfoHeader);
    QCOMPARE(scan.infoFrames, scan.audioFrames);
    QCOMPARE(scan.infoBytes, scan.streamBytes);
    QVERIFY(scan.encoderDelay > 0);
    QVERIFY(scan.lameTagCrcOk);
    QCOMPARE(scan.minKbps, bitrate);
    QCOMPARE(scan.maxKbps, bitrate);
}

void TestFixtures::sameSpecSameBytes()
{
    FixtureSpec recipe;
    recipe.signal = Signal::Noise;
    recipe.seconds = 0.3;
    recipe.id3v2 = recipe.ape = recipe.id3v1 = true;
    recipe.artist = QStringLiteral("A");
    QVERIFY(MakeMp3(PathOf("one.mp3"), recipe));
    QVERIFY(MakeMp3(PathOf("two.mp3"), recipe));
    recipe.seed = 2;
    QVERIFY(MakeMp3(PathOf("three.mp3"), recipe));
    QCOMPARE(ReadAll(PathOf("one.mp3")), ReadAll(PathOf("two.mp3")));
    QVERIFY(ReadAll(PathOf("one.mp3")) != ReadAll(PathOf("three.mp3")));

    // The two channels of noise are independent.
    const std::vector<float> signal = GenerateSignal(recipe);
    std::vector<float> left, right;
    for (size_t i = 0; i + 1 < signal.size(); i += 2) {
        left.push_back(signal[i]);
        right.push_back(signal[i + 1]);
    }
    QCOMPARE(FirstDifference(left, right), 0LL);
}

void TestFixtures::withoutInfoHeaderDecodesLonger()
{
    FixtureSpec recipe;
    recipe.infoHeader = false;
    recipe.seconds = 0.5;
    const QString path = PathOf("noinfo.mp3");
    QVERIFY(MakeMp3(path, recipe));
    const Mp3Scan scan = ScanMp3(path);
    QVERIFY(scan.ok);
    QVERIFY(!scan.hasInfoHeader);
    const DecodedAudio audio = DecodeMp3(path);
    QVERIFY(audio.ok);
    // Encoder delay and padding stay in the decoded audio.
    QVERIFY(audio.Frames() > recipe.Frames());
}

void TestFixtures::tagsReadBack()
{
    FixtureSpec recipe;
    recipe.seconds = 0.5;
    recipe.id3v2 = recipe.ape = recipe.id3v1 = true;
    recipe.artist = QStringLiteral("Künstler");
    recipe.albumArtist = QStringLiteral("Various Artists");
    recipe.album = QStringLiteral("Album");
    recipe.track = QStringLiteral("3/12");
    recipe.title = QStringLiteral("Title");
    recipe.genre = QStringLiteral("Rock");
    recipe.date = QStringLiteral("2021-05-04");
    recipe.comment = QStringLiteral("Comment");
    const QString path = PathOf("tags.mp3");
    QString error;
    QVERIFY2(MakeMp3(path, recipe, &error), qPrintable(error));

    {
        TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
        QVERIFY(file.isValid());
        QVERIFY(file.hasID3v2Tag() && file.hasAPETag() && file.hasID3v1Tag());
        TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
        QCOMPARE(v2->header()->majorVersion(), 4u);
        QCOMPARE(Id3v2Text(v2, "TPE1"), recipe.artist);
        QCOMPARE(Id3v2Text(v2, "TPE2"), recipe.albumArtist);
        QCOMPARE(Id3v2Text(v2, "TALB"), recipe.album);
        QCOMPARE(Id3v2Text(v2, "TRCK"), recipe.track);
        QCOMPARE(Id3v2Text(v2, "TIT2"), recipe.title);
        QCOMPARE(Id3v2Text(v2, "TCON"), recipe.genre);
        QCOMPARE(Id3v2Text(v2, "TDRC"), recipe.date);
        QCOMPARE(FromTag(v2->comment()), recipe.comment);

        TagLib::APE::Tag* ape = file.APETag();
        QCOMPARE(ApeText(ape, "Artist"), recipe.artist);
        QCOMPARE(ApeText(ape, "Album Artist"), recipe.albumArtist);
        QCOMPARE(ApeText(ape, "Track"), recipe.track);
        QCOMPARE(ApeText(ape, "Year"), recipe.date);

        TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
        QCOMPARE(FromTag(v1->artist()), recipe.artist); // Latin-1 holds it
        QCOMPARE(FromTag(v1->genre()), recipe.genre);
        QCOMPARE(v1->year(), 2021u);
        QCOMPARE(v1->track(), 3u);
    }
    // The tags do not disturb decoding or the frame scan.
    const DecodedAudio audio = DecodeMp3(path);
    QVERIFY2(audio.ok, qPrintable(audio.error));
    QCOMPARE(audio.Frames(), recipe.Frames());
    const Mp3Scan scan = ScanMp3(path);
    QVERIFY(scan.ok);
    QVERIFY(scan.id3v2Bytes > 10);
    QVERIFY(scan.trailingBytes > 128); // APE tag and ID3v1
    QVERIFY(scan.hasInfoHeader);
    QCOMPARE(scan.infoFrames, scan.audioFrames);
}

void TestFixtures::refusesBadSpec_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bitrate");
    QTest::newRow("three channels") << 44100 << 3 << 128;
    QTest::newRow("rate not MPEG") << 96000 << 2 << 128;
    QTest::newRow("zero bit rate") << 44100 << 2 << 0;
}

void TestFixtures::refusesBadSpec()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, bitrate);
    FixtureSpec recipe;
    recipe.rate = rate;
    recipe.channels = channels;
    recipe.bitrate = bitrate;
    QString error;
    QVERIFY(!MakeMp3(PathOf("bad.mp3"), recipe, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!MakeMp3(m_dir.filePath(QStringLiteral("missing/folder/x.mp3")), FixtureSpec(), &error));
}

void TestFixtures::signalLevels()
{
    FixtureSpec recipe;
    recipe.rate = 48000;
    recipe.frequency = 1000;
    const std::vector<float> sine = GenerateSignal(recipe);
    QCOMPARE(long(sine.size()), 96000L);
    QVERIFY(std::fabs(PeakDb(sine, 2) - -6.0) < 0.01);
    QVERIFY(std::fabs(RmsDb(sine, 2) - (-6.0 - 3.0103)) < 0.01);
    recipe.signal = Signal::QuietTone;
    QVERIFY(std::fabs(PeakDb(GenerateSignal(recipe), 2, 0, -1, 1) - -50.0) < 0.01);
    recipe.signal = Signal::Silence;
    QCOMPARE(RmsDb(GenerateSignal(recipe), 2), -200.0);
    recipe.signal = Signal::Sine;
    recipe.rightFrequency = 500;
    const std::vector<float> split = GenerateSignal(recipe);
    QCOMPARE(FirstDifference(split, sine, 0), 3LL); // frame 1, right channel
    QCOMPARE(FirstDifference(sine, std::vector<float>(sine.begin(), sine.end() - 2)),
             static_cast<long long>(sine.size() - 2));
}

void TestFixtures::commandLineTool()
{
    const QString tool = TestEnv::BinDir() + QStringLiteral("/tarnwick-mkfixture");
    const QString out = PathOf("cli.mp3");
    QProcess process;
    process.start(tool, {QStringLiteral("--rate"), QStringLiteral("22050"), QStringLiteral("--channels"),
                         QStringLiteral("1"), QStringLiteral("--seconds"), QStringLiteral("0.5"),
                         QStringLiteral("--signal"), QStringLiteral("noise"), QStringLiteral("--bitrate"),
                         QStringLiteral("48"), QStringLiteral("--id3v2"), QStringLiteral("--album-artist"),
                         QStringLiteral("Band"), out});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const DecodedAudio audio = DecodeMp3(out);
    QVERIFY(audio.ok);
    QCOMPARE(audio.rate, 22050L);
    QCOMPARE(audio.channels, 1);
    QCOMPARE(audio.Frames(), 11025LL);
    {
        TagLib::MPEG::File file(QFile::encodeName(out).constData(), false);
        QVERIFY(file.hasID3v2Tag());
        QCOMPARE(Id3v2Text(file.ID3v2Tag(), "TPE2"), QStringLiteral("Band"));
    }

    const QList<QStringList> usageErrors = {
        {QStringLiteral("--signal"), QStringLiteral("square"), out},
        {QStringLiteral("--rate"), QStringLiteral("fast"), out},
        {QStringLiteral("--rate"), QStringLiteral("96000"), out},
        {QStringLiteral("--unknown"), out},
        {},
    };
    for (const QStringList& args : usageErrors) {
        process.start(tool, args);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
    }
    process.start(tool, {m_dir.filePath(QStringLiteral("missing/x.mp3"))});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
}

TARNWICK_TEST_MAIN(TestFixtures)
#include "tst_fixtures.moc"
