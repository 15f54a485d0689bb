// End-to-end joins with real MP3 files, libmpg123, libsox and lame_enc.so:
// same-format and mixed joins, levels, many short files, several tasks,
// awkward names, numbered outputs, Pause and Cancel.
#include "JoinHarness.h"
#include "JoinRings.h"

#include <QTemporaryDir>

#include <cmath>

class TestJoin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sameFormatJoin();
    void mixedJoinConvertsEveryFile();
    void quietToneKeepsItsLevel_data();
    void quietToneKeepsItsLevel();
    void manyShortFilesWithConversion();
    void severalTasksInOneRun();
    void awkwardNames();
    void numberedOutputName();
    void pauseAndResume();
    void cancelMidJoin();

private:
    QString Path(const QString& name) const { return m_dir->filePath(name); }
    // One source file a recipe, named prefix0.mp3, prefix1.mp3, ...
    std::vector<CFileToBeJoin> MakeSources(const QString& prefix,
                                           const std::vector<FixtureSpec>& recipes) const
    {
        std::vector<CFileToBeJoin> files;
        for (size_t i = 0; i < recipes.size(); ++i) {
            files.push_back(
                MakeSource(Path(prefix + QString::number(i) + QStringLiteral(".mp3")), recipes[i]));
        }
        return files;
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestJoin::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestJoin::sameFormatJoin()
{
    const std::vector<FixtureSpec> recipes{Recipe(44100, 2, 1.0, 440), Recipe(44100, 2, 0.5, 660),
                                           Recipe(44100, 2, 0.73, 880)};
    const std::vector<CFileToBeJoin> files = MakeSources(QStringLiteral("in"), recipes);
    const QString output = Path(QStringLiteral("joined.mp3"));
    JoinRunner runner;
    runner.Add(files, output);
    QVERIFY(!runner.run->m_arrTasks[0].m_bConvert);
    QVERIFY(runner.Run());
    QVERIFY2(runner.Ok(), qPrintable(runner.collector.Texts().join(u'\n')));

    // The lines of a one-task run, in order, then the end.
    const QStringList texts = runner.collector.Texts();
    QCOMPARE(texts.size(), 4);
    QCOMPARE(texts[0], QStringLiteral("Start a new joining task."));
    QCOMPARE(texts[1], QStringLiteral("Destination: ") + output + u'.');
    QVERIFY(texts[2].startsWith(QStringLiteral("Time elapsed ")));
    QVERIFY(texts[2].endsWith(QStringLiteral("x.")));
    QCOMPARE(texts[3], QStringLiteral("Joining status: OK."));
    QCOMPARE(runner.collector.titles,
             (QStringList{QStringLiteral("Joining 1/3"), QStringLiteral("Joining 2/3"),
                          QStringLiteral("Joining 3/3")}));
    QCOMPARE(runner.collector.destinations, QStringList{output});
    QVERIFY(runner.collector.timerStarted);

    // Every value was encoded, and the last progress shows the end.
    QCOMPARE(runner.run->m_nRunEncoded.load(), runner.run->m_nRunTotal.load());
    QVERIFY(!runner.collector.progress.empty());
    QCOMPARE(runner.collector.progress.back().fRun, 100.0f);
    QCOMPARE(runner.collector.progress.back().fTask, 100.0f);
    QCOMPARE(runner.collector.progressAfterDone, 0);
    QVERIFY(std::fabs(runner.run->m_fRunSeconds.load() - 2.23) < 1e-3);

    // CBR at 128 kbit/s with an Info header that counts the frames; decoded,
    // exactly the inputs back to back.
    const Mp3Scan scan = ScanMp3(output);
    QVERIFY2(scan.ok, qPrintable(scan.error));
    QCOMPARE(scan.rate, 44100L);
    QCOMPARE(scan.channels, 2);
    QCOMPARE(scan.minKbps, 128);
    QCOMPARE(scan.maxKbps, 128);
    QVERIFY(scan.hasInfoHeader);
    QCOMPARE(scan.infoFrames, scan.audioFrames);
    const DecodedAudio joined = DecodeMp3(output);
    QVERIFY(joined.ok);
    QCOMPARE(joined.Frames(), SumFrames(recipes));

    // Each input's tone sits where it belongs, at its level (one more MP3
    // generation costs a little).
    long long first = 0;
    for (size_t i = 0; i < recipes.size(); ++i) {
        const DecodedAudio input = DecodeMp3(files[i].m_strPath);
        const long long frames = recipes[i].Frames();
        const double inputDb = RmsDb(input.samples, 2, 2000, frames - 4000);
        const double outputDb = RmsDb(joined.samples, 2, first + 2000, frames - 4000);
        QVERIFY2(std::fabs(inputDb - outputDb) < 1.0, qPrintable(QString::number(outputDb - inputDb)));
        // Sample-aligned: what the second encoding changed is far below the
        // signal (an offset of one sample at 880 Hz would not be).
        std::vector<float> difference(input.samples.size());
        for (size_t v = 0; v < difference.size(); ++v) {
            difference[v] = joined.samples[size_t(first) * 2 + v] - input.samples[v];
        }
        const double differenceDb = RmsDb(difference, 2, 2000, frames - 4000);
        QVERIFY2(differenceDb < inputDb - 20.0,
                 qPrintable(QStringLiteral("%1 %2").arg(differenceDb).arg(inputDb)));
        first += frames;
    }
}

void TestJoin::mixedJoinConvertsEveryFile()
{
    const std::vector<FixtureSpec> recipes{Recipe(44100, 2, 0.8, 500), Recipe(22050, 1, 0.6, 300),
                                           Recipe(48000, 2, 0.7, 700)};
    const std::vector<CFileToBeJoin> files = MakeSources(QStringLiteral("mix"), recipes);
    const QString output = Path(QStringLiteral("mixed.mp3"));
    JoinRunner runner;
    runner.Add(files, output);
    const CConversionTask& task = runner.run->m_arrTasks[0];
    QCOMPARE(task.m_nOutputRate, 48000u);
    QCOMPARE(task.m_nOutputChannels, 2u);
    QVERIFY(task.m_bConvert);
    QVERIFY(runner.Run());
    QVERIFY2(runner.Ok(), qPrintable(runner.collector.Texts().join(u'\n')));

    const Mp3Scan scan = ScanMp3(output);
    QVERIFY(scan.ok);
    QCOMPARE(scan.rate, 48000L);
    QCOMPARE(scan.channels, 2);
    QCOMPARE(scan.infoFrames, scan.audioFrames);
    const DecodedAudio joined = DecodeMp3(output);
    QVERIFY(joined.ok);
    // Each file's length at 48 kHz, within a frame of rounding per file.
    long long expected = 0;
    for (const FixtureSpec& recipe : recipes) {
        expected += std::llround(double(recipe.Frames()) * 48000.0 / recipe.rate);
    }
    QVERIFY2(std::llabs(joined.Frames() - expected) <= 3,
             qPrintable(QStringLiteral("%1 vs %2").arg(joined.Frames()).arg(expected)));
    const long long encoded = (long long)runner.run->m_nRunEncoded.load();
    QVERIFY(std::llabs(encoded - (long long)runner.run->m_nRunTotal.load()) <= 6);

    // The mono file reaches both channels at its level, after the rate change.
    const long long monoStart = std::llround(recipes[0].Frames() * 48000.0 / 44100.0);
    const long long monoFrames = std::llround(recipes[1].Frames() * 48000.0 / 22050.0);
    const double inputDb = RmsDb(DecodeMp3(files[1].m_strPath).samples, 1, 2000, recipes[1].Frames() - 4000);
    for (int channel = 0; channel < 2; ++channel) {
        const double outputDb = RmsDb(joined.samples, 2, monoStart + 4000, monoFrames - 8000, channel);
        QVERIFY2(std::fabs(inputDb - outputDb) < 1.0, qPrintable(QString::number(outputDb - inputDb)));
    }
}

void TestJoin::quietToneKeepsItsLevel_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("freqIndex");
    QTest::newRow("same format") << 44100 << 2 << 0;
    QTest::newRow("converted") << 22050 << 1 << 8; // to 44100 Hz, automatic channels (mono)
}

void TestJoin::quietToneKeepsItsLevel()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, freqIndex);
    FixtureSpec recipe = Recipe(rate, channels, 1.5, 1000);
    recipe.signal = FixtureSpec::Signal::QuietTone;
    const CFileToBeJoin file = MakeSource(Path(QStringLiteral("quiet.mp3")), recipe);
    const QString output = Path(QStringLiteral("quiet-joined.mp3"));
    JoinRunner runner;
    runner.Add({file, file}, output, 0, freqIndex);
    QVERIFY(runner.Run());
    QVERIFY(runner.Ok());

    const DecodedAudio input = DecodeMp3(file.m_strPath);
    const DecodedAudio joined = DecodeMp3(output);
    QVERIFY(input.ok && joined.ok);
    const double inputDb = RmsDb(input.samples, input.channels, 4000, input.Frames() - 8000);
    const long long scale = joined.rate / input.rate;
    const double outputDb =
        RmsDb(joined.samples, joined.channels, 4000 * scale, (input.Frames() - 8000) * scale);
    QVERIFY2(inputDb < -50.0 && inputDb > -56.0, qPrintable(QString::number(inputDb)));
    QVERIFY2(std::fabs(outputDb - inputDb) < 1.0,
             qPrintable(QStringLiteral("%1 %2").arg(inputDb).arg(outputDb)));
}

void TestJoin::manyShortFilesWithConversion()
{
    const CFileToBeJoin mono = MakeSource(Path(QStringLiteral("short-mono.mp3")), Recipe(22050, 1, 0.1, 300));
    const CFileToBeJoin stereo =
        MakeSource(Path(QStringLiteral("short-stereo.mp3")), Recipe(44100, 2, 0.1, 600));
    std::vector<CFileToBeJoin> files;
    for (int i = 0; i < 200; ++i) {
        files.push_back(i % 2 ? stereo : mono);
    }
    const QString output = Path(QStringLiteral("many.mp3"));
    JoinRunner runner;
    runner.Add(files, output);
    QVERIFY(runner.run->m_arrTasks[0].m_bConvert);
    QVERIFY(runner.Run());
    QVERIFY(runner.Ok());
    // Not one value lost at any of the 199 junctions or at the end.
    QCOMPARE(runner.run->m_nRunEncoded.load(), runner.run->m_nRunTotal.load());
    const DecodedAudio joined = DecodeMp3(output);
    QCOMPARE(joined.Frames(), (long long)(runner.run->m_nRunTotal.load() / 2));
}

void TestJoin::severalTasksInOneRun()
{
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(32000, 1, 0.5));
    const CFileToBeJoin b = MakeSource(Path(QStringLiteral("b.mp3")), Recipe(44100, 2, 0.4));
    JoinRunner runner;
    runner.Add({a, a}, Path(QStringLiteral("first.mp3")));
    runner.Add({b, a}, Path(QStringLiteral("second.mp3")));
    QVERIFY(runner.Run());
    QCOMPARE(runner.collector.doneCount, 1);
    const QStringList texts = runner.collector.Texts();
    QCOMPARE(texts.count(QStringLiteral("Joining status: OK.")), 2);
    QCOMPARE(texts.size(), 10);
    QCOMPARE(texts[8], QString(99, u'-'));
    QVERIFY(texts[9].startsWith(QStringLiteral("Total time elapsed ")));
    QCOMPARE(runner.run->m_nRunEncoded.load(), runner.run->m_nRunTotal.load());
    QCOMPARE(DecodeMp3(Path(QStringLiteral("first.mp3"))).Frames(), 32000LL);
    QCOMPARE(DecodeMp3(Path(QStringLiteral("second.mp3"))).Frames(), 17640LL + 22050LL);
}

void TestJoin::awkwardNames()
{
    const QString folder = Path(QStringLiteral("Mü sik \"q\" 'x'"));
    QVERIFY(QDir().mkpath(folder));
    const CFileToBeJoin a = MakeSource(folder + QStringLiteral("/Ä b 'c' \"d\".mp3"), Recipe(44100, 2, 0.3));
    const CFileToBeJoin b = MakeSource(folder + QStringLiteral("/日本 語.mp3"), Recipe(44100, 1, 0.3));
    // The output folder does not exist yet, two levels deep.
    const QString output = Path(QStringLiteral("ø ut/\"neu\" ß/Jöin 'ed' \"x\".mp3"));
    JoinRunner runner;
    runner.Add({a, b}, output);
    QVERIFY(runner.Run());
    QVERIFY2(runner.Ok(), qPrintable(runner.collector.Texts().join(u'\n')));
    const Mp3Scan scan = ScanMp3(output);
    QVERIFY(scan.ok);
    QVERIFY(scan.hasInfoHeader);
    QCOMPARE(scan.infoFrames, scan.audioFrames);
    QCOMPARE(DecodeMp3(output).Frames(), 2 * 13230LL);
}

void TestJoin::numberedOutputName()
{
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.2));
    const QString output = Path(QStringLiteral("Untitled.mp3"));
    QFile existing(output);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();

    JoinRunner runner;
    runner.run->m_Settings.SameAsSrc = 0; // the path came from the output folder setting
    runner.Add({a}, output);
    QVERIFY(runner.Run());
    QVERIFY(runner.Ok());
    const QString numbered = Path(QStringLiteral("Untitled (2).mp3"));
    QCOMPARE(runner.collector.destinations, QStringList{numbered});
    QVERIFY(runner.collector.HasLine(QStringLiteral("Destination: ") + numbered + u'.', LOG_INFO));
    QCOMPARE(DecodeMp3(numbered).Frames(), 8820LL);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("keep me"));
}

void TestJoin::pauseAndResume()
{
    // Longer than the decode ring holds, so the decoder has to wait too.
    FixtureSpec recipe = Recipe(44100, 2, 14.0);
    recipe.bitrate = 64;
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("long.mp3")), recipe);
    const QString output = Path(QStringLiteral("paused.mp3"));
    JoinRunner runner;
    runner.Add({a}, output);
    QVERIFY(runner.Start());
    runner.run->SetPaused(true);

    // Paused from the start: the decode ring fills up, nothing is encoded
    // and no progress arrives.
    QVERIFY(WaitUntil([] { return g_pDecodeRing->Free() < 4608; }, 120000));
    const size_t progressWhilePaused = runner.collector.progress.size();
    QTest::qWait(300);
    QCOMPARE(runner.run->m_nRunEncoded.load(), 0ull);
    QCOMPARE(runner.collector.progress.size(), progressWhilePaused);
    QVERIFY(!runner.collector.ended);

    runner.run->SetPaused(false);
    QVERIFY(runner.Finish());
    QVERIFY(runner.Ok());
    // The percentages only ever grew.
    float last = 0.0f;
    for (const JoinPercents& p : runner.collector.progress) {
        QVERIFY(p.fRun >= last);
        last = p.fRun;
    }
    QCOMPARE(last, 100.0f);
    QCOMPARE(DecodeMp3(output).Frames(), recipe.Frames());
}

void TestJoin::cancelMidJoin()
{
    FixtureSpec recipe = Recipe(44100, 2, 30.0);
    recipe.bitrate = 64;
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("long.mp3")), recipe);
    const CFileToBeJoin b = MakeSource(Path(QStringLiteral("short.mp3")), Recipe(22050, 1, 1.0));
    const QString output = Path(QStringLiteral("cancelled.mp3"));
    JoinRunner runner;
    runner.Add({a, b}, output);
    QVERIFY(runner.Start());
    QVERIFY(WaitUntil([&] { return runner.run->m_nRunEncoded.load() > 0; }));
    // As the window's Cancel does it: pause while asking, then stop and wait.
    runner.run->SetPaused(true);
    runner.run->RequestStop();
    QVERIFY(runner.run->WaitForThreads(10000));
    QVERIFY(runner.Finish());
    QCOMPARE(runner.collector.doneCount, 0);
    QCOMPARE(runner.collector.Texts().last(), QStringLiteral("Joining status: ERROR."));
    QCOMPARE(runner.collector.logs.back().kind, int(LOG_ERROR));
    // The output was closed normally: a valid stream with its header.
    const Mp3Scan scan = ScanMp3(output);
    QVERIFY(scan.ok);
    QVERIFY(scan.hasInfoHeader);
    QVERIFY(scan.audioFrames > 0);
    QVERIFY(DecodeMp3(output).Frames() < recipe.Frames());
}

TARNWICK_TEST_MAIN(TestJoin)
#include "tst_join.moc"
