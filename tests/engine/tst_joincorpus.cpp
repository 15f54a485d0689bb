// Joining third-party MP3 files as the list would hand them over: every
// usable file of the corpus (odd tags, VBR, truncated streams, false syncs)
// in one task. The join must end, report each left-out file by name, and
// write a valid stream.
#include "JoinHarness.h"
#include "StreamReader.h"

#include <QDirIterator>
#include <QTemporaryDir>

class TestJoinCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void joinEveryUsableFile();
};

void TestJoinCorpus::initTestCase()
{
    QVERIFY(InitInfoDecoder());
}

void TestJoinCorpus::cleanupTestCase()
{
    ExitInfoDecoder();
}

void TestJoinCorpus::joinEveryUsableFile()
{
    const QString corpus = TestEnv::CorpusDir();
    if (corpus.isEmpty()) {
        QSKIP("no MP3 corpus");
    }
    std::vector<CFileToBeJoin> files;
    QDirIterator it(corpus, {QStringLiteral("*.mp3")}, QDir::Files, QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext()) {
        paths << it.next();
    }
    paths.sort();
    for (const QString& path : paths) {
        CAudioFileInfo info;
        if (ReadStreamFigures(g_hInfoDecoder, path, info) == StreamOpenResult::Ok && !info.m_bUnusable) {
            files.push_back(
                CFileToBeJoin{path, info.m_nSampleRate, info.m_nChannels, uint64_t(info.m_nSamples)});
        }
    }
    QVERIFY(files.size() > 10);

    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("corpus.mp3"));
    JoinRunner runner;
    runner.Add(files, output, 0, 8); // 44.1 kHz, automatic channels
    QVERIFY(runner.Run());

    // Every error names its file on the next line, and only a task that
    // left nothing out says OK.
    const std::vector<LogLine>& logs = runner.collector.logs;
    int leftOut = 0;
    for (size_t i = 0; i < logs.size(); ++i) {
        if (logs[i].text == QLatin1String("Invalid Format!") ||
            logs[i].text.startsWith(QLatin1String("Trouble with mpg123: "))) {
            QVERIFY(i + 1 < logs.size());
            QVERIFY(logs[i + 1].text.startsWith(QLatin1String("Source: ")));
            QCOMPARE(logs[i + 1].kind, logs[i].kind);
            leftOut += logs[i].kind == LOG_ERROR ? 1 : 0;
        }
    }
    qInfo("%d files, %d left out", int(files.size()), leftOut);
    const QString status = runner.collector.Texts().last();
    QCOMPARE(status,
             leftOut ? QStringLiteral("Joining status: ERROR.") : QStringLiteral("Joining status: OK."));
    QCOMPARE(runner.collector.doneCount, leftOut ? 0 : 1);

    const Mp3Scan scan = ScanMp3(output);
    QVERIFY2(scan.ok, qPrintable(scan.error));
    QCOMPARE(scan.rate, 44100L);
    QVERIFY(scan.hasInfoHeader);
    QCOMPARE(scan.infoFrames, scan.audioFrames);
    const DecodedAudio joined = DecodeMp3(output);
    QVERIFY(joined.ok);
    QCOMPARE((unsigned long long)joined.Frames() * unsigned(joined.channels),
             (unsigned long long)runner.run->m_nRunEncoded.load() / unsigned(joined.channels) *
                 unsigned(joined.channels));
}

TARNWICK_TEST_MAIN(TestJoinCorpus)
#include "tst_joincorpus.moc"
