// Joins that meet bad input or failures: missing, broken and replaced
// sources, outputs that cannot be made or would overwrite a source, the
// encoder library missing or failing, a full disk, and a task with no file.
#include "JoinHarness.h"

#include <QTemporaryDir>

#include <random>
#include <unistd.h>

class TestJoinFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void missingSourceStopsTheRun();
    void brokenSourceIsLeftOut_data();
    void brokenSourceIsLeftOut();
    void truncatedSourceJoinsWhatItHolds();
    void formatChangeInsideAFileWarns();
    void outputFolderCannotBeCreated_data();
    void outputFolderCannotBeCreated();
    void outputCannotBeCreated();
    void outputIsASource_data();
    void outputIsASource();
    void outputIsASourceWithNumberedNames();
    void encoderLibraryProblems_data();
    void encoderLibraryProblems();
    void encoderCallFails_data();
    void encoderCallFails();
    void fullDisk();
    void taskWithNoFile();

private:
    QString Path(const QString& name) const { return m_dir->filePath(name); }
    static void WriteBytes(const QString& path, const QByteArray& bytes);
    static QByteArray ReadBytes(const QString& path);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestJoinFaults::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestJoinFaults::cleanup()
{
    SetEncoderFolder(TestEnv::BinDir());
    qunsetenv("TARNWICK_STUB_FAIL");
}

void TestJoinFaults::WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray TestJoinFaults::ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestJoinFaults::missingSourceStopsTheRun()
{
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 2.0));
    CFileToBeJoin gone = MakeSource(Path(QStringLiteral("gone.mp3")), Recipe(44100, 2, 1.0));
    QVERIFY(QFile::remove(gone.m_strPath));
    const QString output = Path(QStringLiteral("out.mp3"));
    JoinRunner runner;
    runner.Add({a, gone, a}, output);
    QVERIFY(runner.Run());

    const QStringList texts = runner.collector.Texts();
    QVERIFY2(runner.collector.HasLine(QStringLiteral("File Error: No such file or directory"), LOG_ERROR),
             qPrintable(texts.join(u'\n')));
    QVERIFY(runner.collector.HasLine(QStringLiteral("Source: ") + gone.m_strPath, LOG_ERROR));
    QCOMPARE(texts.last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
    QCOMPARE(runner.collector.titles.last(), QStringLiteral("Joining 2/3"));
    // What was encoded until then is a closed, valid stream.
    const Mp3Scan scan = ScanMp3(output);
    QVERIFY(scan.ok);
    QVERIFY(scan.hasInfoHeader);
    QVERIFY(DecodeMp3(output).Frames() <= 88200);
}

void TestJoinFaults::brokenSourceIsLeftOut_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    std::mt19937 random(7);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (char& byte : noise) {
        byte = char(random() & 0xFF);
    }
    QTest::newRow("random bytes") << noise << QStringLiteral("Invalid Format!");
    QTest::newRow("0-byte file") << QByteArray() << QStringLiteral("Invalid Format!");
    // Replaced since it was listed: now a 22.05 kHz mono MP3.
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.mp3"));
    MakeSource(other, Recipe(22050, 1, 0.5));
    QTest::newRow("another format now") << ReadBytes(other) << QStringLiteral("Invalid Format!");
}

void TestJoinFaults::brokenSourceIsLeftOut()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    const FixtureSpec recipe = Recipe(44100, 2, 0.6);
    const CFileToBeJoin good = MakeSource(Path(QStringLiteral("good.mp3")), recipe);
    // Listed as if it were a 44.1 kHz stereo MP3.
    CFileToBeJoin broken = good;
    broken.m_strPath = Path(QStringLiteral("broken.mp3"));
    WriteBytes(broken.m_strPath, bytes);
    const QString output = Path(QStringLiteral("out.mp3"));
    JoinRunner runner;
    runner.Add({good, broken, good}, output);
    QVERIFY(runner.Run());

    const QStringList texts = runner.collector.Texts();
    QVERIFY2(runner.collector.HasLine(line, LOG_ERROR), qPrintable(texts.join(u'\n')));
    const int reason = int(texts.indexOf(line));
    QCOMPARE(texts.value(reason + 1), QStringLiteral("Source: ") + broken.m_strPath);
    QCOMPARE(runner.collector.logs[size_t(reason + 1)].kind, int(LOG_ERROR));
    // The other files are joined in full, yet the task reports the loss.
    QCOMPARE(texts.last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
    QCOMPARE(DecodeMp3(output).Frames(), 2 * recipe.Frames());
}

void TestJoinFaults::truncatedSourceJoinsWhatItHolds()
{
    const FixtureSpec recipe = Recipe(44100, 2, 1.0);
    const CFileToBeJoin good = MakeSource(Path(QStringLiteral("good.mp3")), recipe);
    CFileToBeJoin cut = good;
    cut.m_strPath = Path(QStringLiteral("cut.mp3"));
    const QByteArray bytes = ReadBytes(good.m_strPath);
    WriteBytes(cut.m_strPath, bytes.left(bytes.size() / 2));
    const QString output = Path(QStringLiteral("out.mp3"));
    JoinRunner runner;
    runner.Add({cut, good}, output);
    QVERIFY(runner.Run());
    QVERIFY2(runner.collector.CountKind(LOG_ERROR) == 0, qPrintable(runner.collector.Texts().join(u'\n')));
    const long long frames = DecodeMp3(output).Frames();
    QVERIFY(frames > recipe.Frames() + recipe.Frames() / 4);
    QVERIFY(frames < 2 * recipe.Frames());
}

void TestJoinFaults::formatChangeInsideAFileWarns()
{
    // A file that turns from 44.1 kHz stereo into 22.05 kHz mono: what came
    // before the change is joined, with a warning that names the file.
    FixtureSpec stereo = Recipe(44100, 2, 1.0);
    stereo.infoHeader = false;
    FixtureSpec mono = Recipe(22050, 1, 1.0);
    mono.infoHeader = false;
    const CFileToBeJoin first = MakeSource(Path(QStringLiteral("first.mp3")), stereo);
    const CFileToBeJoin second = MakeSource(Path(QStringLiteral("second.mp3")), mono);
    CFileToBeJoin changing = first;
    changing.m_strPath = Path(QStringLiteral("changing.mp3"));
    WriteBytes(changing.m_strPath, ReadBytes(first.m_strPath) + ReadBytes(second.m_strPath));

    const QString output = Path(QStringLiteral("out.mp3"));
    JoinRunner runner;
    runner.Add({first, changing}, output);
    QVERIFY(runner.Run());
    const QStringList texts = runner.collector.Texts();
    int warning = -1;
    for (size_t i = 0; i < runner.collector.logs.size(); ++i) {
        if (runner.collector.logs[i].kind == LOG_WARNING &&
            runner.collector.logs[i].text.startsWith(QStringLiteral("Trouble with mpg123: "))) {
            warning = int(i);
        }
    }
    QVERIFY2(warning >= 0, qPrintable(texts.join(u'\n')));
    QCOMPARE(texts.value(warning + 1), QStringLiteral("Source: ") + changing.m_strPath);
    QCOMPARE(runner.collector.logs[size_t(warning + 1)].kind, int(LOG_WARNING));
    // A warning only: the task is still OK and holds both stereo parts.
    QVERIFY(runner.Ok());
    const long long frames = DecodeMp3(output).Frames();
    QVERIFY(frames >= 2 * stereo.Frames());
    QVERIFY(frames < 2 * stereo.Frames() + 4 * 1152);
}

void TestJoinFaults::outputFolderCannotBeCreated_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("below a file") << QStringLiteral("file.txt/sub");
    QTest::newRow("pseudo file system") << QStringLiteral("/proc/tarnwick-test/sub");
}

void TestJoinFaults::outputFolderCannotBeCreated()
{
    QFETCH(QString, folder);
    WriteBytes(Path(QStringLiteral("file.txt")), "x");
    if (!folder.startsWith(u'/')) {
        folder = Path(folder);
    }
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.2));
    JoinRunner runner;
    runner.Add({a}, folder + QStringLiteral("/out.mp3"));
    QVERIFY(runner.Run());
    QCOMPARE(runner.collector.Texts(),
             QStringList{QStringLiteral("Fail to create folder ") + folder + QStringLiteral(" !")});
    QCOMPARE(runner.collector.logs[0].kind, int(LOG_ERROR));
    QCOMPARE(runner.collector.doneCount, 0);
}

void TestJoinFaults::outputCannotBeCreated()
{
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.2));
    const QString output = Path(QStringLiteral("a folder.mp3"));
    QVERIFY(QDir().mkpath(output));
    JoinRunner runner;
    runner.Add({a}, output);
    QVERIFY(runner.Run());
    QVERIFY(runner.collector.HasLine(QStringLiteral("Error creating file ") + output, LOG_ERROR));
    QCOMPARE(runner.collector.Texts().last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
}

void TestJoinFaults::outputIsASource_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("same path") << QStringLiteral("same");
    QTest::newRow("hard link") << QStringLiteral("hard");
    QTest::newRow("symbolic link") << QStringLiteral("soft");
}

void TestJoinFaults::outputIsASource()
{
    QFETCH(QString, how);
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.3));
    const CFileToBeJoin b = MakeSource(Path(QStringLiteral("b.mp3")), Recipe(44100, 2, 0.3, 880));
    const QByteArray before = ReadBytes(b.m_strPath);
    QString output = b.m_strPath;
    if (how == QLatin1String("hard")) {
        output = Path(QStringLiteral("link.mp3"));
        QCOMPARE(::link(QFile::encodeName(b.m_strPath).constData(), QFile::encodeName(output).constData()),
                 0);
    } else if (how == QLatin1String("soft")) {
        output = Path(QStringLiteral("link.mp3"));
        QVERIFY(QFile::link(b.m_strPath, output));
    }
    JoinRunner runner; // the path as the user chose it: no numbered name
    runner.Add({a, b}, output);
    QVERIFY(runner.Run());
    QVERIFY(runner.collector.HasLine(QStringLiteral("Error creating file ") + output, LOG_ERROR));
    QCOMPARE(runner.collector.Texts().last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
    QCOMPARE(ReadBytes(b.m_strPath), before);
}

void TestJoinFaults::outputIsASourceWithNumberedNames()
{
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.3));
    const QByteArray before = ReadBytes(a.m_strPath);
    JoinRunner runner;
    runner.run->m_Settings.SameAsSrc = 0;
    runner.Add({a, a}, a.m_strPath);
    QVERIFY(runner.Run());
    QVERIFY(runner.Ok());
    QCOMPARE(ReadBytes(a.m_strPath), before);
    QCOMPARE(DecodeMp3(Path(QStringLiteral("a (2).mp3"))).Frames(), 2 * 13230LL);
}

void TestJoinFaults::encoderLibraryProblems_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("box");
    QTest::newRow("missing") << QStringLiteral("empty") << QStringLiteral("Error loading lame_enc.so")
                             << QStringLiteral("Error Loading Lame_enc.so");
    QTest::newRow("an entry point missing")
        << TestEnv::BinDir() + QStringLiteral("/stub-encoder-missing")
        << QStringLiteral("Unable to get LAME interfaces") << QStringLiteral("Unable to Get LAME Interfaces");
}

void TestJoinFaults::encoderLibraryProblems()
{
    QFETCH(QString, folder);
    QFETCH(QString, line);
    QFETCH(QString, box);
    if (folder == QLatin1String("empty")) {
        folder = Path(QStringLiteral("empty"));
        QVERIFY(QDir().mkpath(folder));
    }
    MessageBoxRecorder boxes;
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.5));
    const QString output = Path(QStringLiteral("out.mp3"));
    JoinRunner runner;
    runner.Add({a, a}, output);
    SetEncoderFolder(folder);
    QVERIFY(runner.run->Start());
    QVERIFY(runner.Finish());
    QVERIFY2(runner.collector.HasLine(line, LOG_ERROR), qPrintable(runner.collector.Texts().join(u'\n')));
    QCOMPARE(runner.collector.Texts().last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
    const auto shown = boxes.Boxes();
    QCOMPARE(shown.size(), size_t(1));
    QCOMPARE(shown[0].first, box);
    QVERIFY(shown[0].second == MessageIcon::Error);
    QVERIFY(!QFileInfo::exists(output));
}

void TestJoinFaults::encoderCallFails_data()
{
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<QString>("line");
    QTest::newRow("stream not opened")
        << QByteArray("init") << QStringLiteral("Error opening encoding stream (2)");
    QTest::newRow("chunk not encoded") << QByteArray("chunk") << QStringLiteral("beEncodeChunk() failed (6)");
    QTest::newRow("flush failed") << QByteArray("deinit") << QStringLiteral("beExitStream failed (6)");
}

void TestJoinFaults::encoderCallFails()
{
    QFETCH(QByteArray, step);
    QFETCH(QString, line);
    qputenv("TARNWICK_STUB_FAIL", step);
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.5));
    const QString output = Path(QStringLiteral("out.mp3"));
    JoinRunner runner;
    runner.Add({a, a}, output);
    SetEncoderFolder(TestEnv::BinDir() + QStringLiteral("/stub-encoder-failing"));
    QVERIFY(runner.run->Start());
    QVERIFY(runner.Finish());
    QVERIFY2(runner.collector.HasLine(line, LOG_ERROR), qPrintable(runner.collector.Texts().join(u'\n')));
    QCOMPARE(runner.collector.Texts().last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
}

void TestJoinFaults::fullDisk()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full"))) {
        QSKIP("no /dev/full");
    }
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 3.0));
    JoinRunner runner;
    runner.Add({a}, QStringLiteral("/dev/full"));
    QVERIFY(runner.Run());
    QVERIFY2(runner.collector.HasLine(QStringLiteral("Output file write error"), LOG_ERROR),
             qPrintable(runner.collector.Texts().join(u'\n')));
    QCOMPARE(runner.collector.Texts().count(QStringLiteral("Output file write error")), 1);
    QCOMPARE(runner.collector.Texts().last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
}

void TestJoinFaults::taskWithNoFile()
{
    const QString output = Path(QStringLiteral("nothing.mp3"));
    JoinRunner runner;
    runner.Add({}, output);
    QCOMPARE(runner.run->m_arrTasks[0].m_nOutputChannels, 2u);
    QVERIFY(runner.Run());
    const QStringList texts = runner.collector.Texts();
    QCOMPARE(texts.size(), 4);
    QCOMPARE(texts[2], QStringLiteral("No usable file to join."));
    QCOMPARE(runner.collector.logs[2].kind, int(LOG_ERROR));
    QCOMPARE(texts[3], QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.doneCount, 0);
    QVERIFY(!QFileInfo::exists(output));
    for (const JoinPercents& p : runner.collector.progress) {
        QVERIFY(std::isfinite(p.fRun) && std::isfinite(p.fTask));
    }
}

TARNWICK_TEST_MAIN(TestJoinFaults)
#include "tst_joinfaults.moc"
