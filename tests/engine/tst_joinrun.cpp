// The life of a run: a pending message box never blocks a stop, the window
// can go away while threads finish, and a new run waits for the old one.
#include "JoinHarness.h"

#include <QTemporaryDir>

class TestJoinRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stopWhileAMessageBoxIsPending_data();
    void stopWhileAMessageBoxIsPending();
    void windowClosesWhileThreadsFinish();
    void nextRunWaitsForThePreviousOne();
    void runWithoutReceiver();

private:
    QString Path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestJoinRun::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestJoinRun::cleanup()
{
    SetEncoderFolder(TestEnv::BinDir());
}

void TestJoinRun::stopWhileAMessageBoxIsPending_data()
{
    QTest::addColumn<bool>("detach");
    QTest::newRow("cancel") << false;
    QTest::newRow("window closed") << true;
}

void TestJoinRun::stopWhileAMessageBoxIsPending()
{
    // The encode thread asks for a message box (no encoder library) while
    // the UI thread, without handling events, stops the run and waits for
    // its threads, as Cancel does: the wait must end, and the box is never
    // shown afterwards.
    QFETCH(bool, detach);
    MessageBoxRecorder boxes;
    const QString empty = Path(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.5));
    JoinRunner runner;
    runner.Add({a}, Path(QStringLiteral("out.mp3")));
    SetEncoderFolder(empty);
    QVERIFY(runner.run->Start());
    QTest::qSleep(1500); // time for the encode thread to reach the box
    if (detach) {
        runner.run->DetachReceiver();
    } else {
        runner.run->RequestStop();
    }
    QVERIFY(runner.run->WaitForThreads(20000));
    QCoreApplication::processEvents();
    QVERIFY(boxes.Boxes().empty());
}

void TestJoinRun::windowClosesWhileThreadsFinish()
{
    FixtureSpec recipe = Recipe(44100, 2, 20.0);
    recipe.bitrate = 64;
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("long.mp3")), recipe);
    const QString output = Path(QStringLiteral("out.mp3"));
    std::weak_ptr<CJoinRun> watch;
    {
        auto run = std::make_shared<CJoinRun>();
        run->m_Settings.SameAsSrc = 1;
        auto receiver = std::make_unique<JoinCollector>();
        CConversionTask task = BuildTask({a, a}, 0, 0);
        task.m_strOutputPath = output;
        run->AddTask(task);
        run->SetReceiver(receiver.get());
        QVERIFY(run->Start());
        QVERIFY(WaitUntil([&] { return run->m_nRunEncoded.load() > 0; }));
        // The window closes at once: no wait, receiver and run let go.
        run->RequestStop();
        run->DetachReceiver();
        receiver.reset();
        watch = run;
    }
    // The threads keep the run alive until they end, then free it.
    QVERIFY(WaitUntil([&] { return watch.expired(); }, 60000));
    const Mp3Scan scan = ScanMp3(output);
    QVERIFY(scan.ok);
    QVERIFY(scan.hasInfoHeader);
}

void TestJoinRun::nextRunWaitsForThePreviousOne()
{
    FixtureSpec recipe = Recipe(44100, 2, 20.0);
    recipe.bitrate = 64;
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("long.mp3")), recipe);
    const CFileToBeJoin b = MakeSource(Path(QStringLiteral("short.mp3")), Recipe(22050, 1, 0.5));

    auto first = std::make_unique<JoinRunner>();
    first->Add({a, b}, Path(QStringLiteral("first.mp3")));
    QVERIFY(first->Start());
    QVERIFY(WaitUntil([&] { return first->run->m_nRunEncoded.load() > 0; }));
    first->run->RequestStop();

    // Started at once, while the first run's threads may still be finishing.
    JoinRunner second;
    second.Add({b, b}, Path(QStringLiteral("second.mp3")));
    QVERIFY(second.Run());
    QVERIFY(second.Ok());
    QVERIFY(first->run->AllThreadsEnded());
    QCOMPARE(DecodeMp3(Path(QStringLiteral("second.mp3"))).Frames(), 2 * 11025LL);
    first.reset();
}

void TestJoinRun::runWithoutReceiver()
{
    // A run may have nobody listening: it still joins.
    const CFileToBeJoin a = MakeSource(Path(QStringLiteral("a.mp3")), Recipe(44100, 2, 0.3));
    auto run = std::make_shared<CJoinRun>();
    run->m_Settings.SameAsSrc = 1;
    CConversionTask task = BuildTask({a, a}, 0, 0);
    task.m_strOutputPath = Path(QStringLiteral("out.mp3"));
    run->AddTask(task);
    QVERIFY(run->Start());
    QVERIFY(WaitUntil([&] { return run->HasEnded() && run->AllThreadsEnded(); }));
    QCOMPARE(run->m_nRunEncoded.load(), run->m_nRunTotal.load());
    QCOMPARE(DecodeMp3(task.m_strOutputPath).Frames(), 2 * 13230LL);
}

TARNWICK_TEST_MAIN(TestJoinRun)
#include "tst_joinrun.moc"
