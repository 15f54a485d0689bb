// The figures a join shows: percentages with zero totals, the texts, the
// tick arithmetic, and which texts change on an update.
#include "JoinProgress.h"
#include "TestMain.h"

#include <limits>

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void percent_data();
    void percent();
    void texts_data();
    void texts();
    void speedNeverDividesByZero();
    void ticksWrap();
    void everyTenthUpdateShowsTimes();
    void noTimesInTheFirstTenthOfASecond();
    void updateAfterTheRunIsIgnored();
};

void TestProgress::percent_data()
{
    QTest::addColumn<qulonglong>("done");
    QTest::addColumn<qulonglong>("total");
    QTest::addColumn<bool>("final");
    QTest::addColumn<float>("percent");
    QTest::addColumn<float>("clamped");
    QTest::newRow("half") << 50ull << 100ull << false << 50.0f << 50.0f;
    QTest::newRow("past the estimate") << 1004ull << 1000ull << false << 100.4f << 100.0f;
    QTest::newRow("zero total while running") << 0ull << 0ull << false << 0.0f << 0.0f;
    QTest::newRow("zero total at the end") << 10ull << 0ull << true << 100.0f << 100.0f;
    QTest::newRow("huge counts") << (1ull << 62) << (1ull << 63) << false << 50.0f << 50.0f;
}

void TestProgress::percent()
{
    QFETCH(qulonglong, done);
    QFETCH(qulonglong, total);
    QFETCH(bool, final);
    QFETCH(float, percent);
    QFETCH(float, clamped);
    const float p = ComputePercent(done, total, final);
    QCOMPARE(p, percent);
    QCOMPARE(ClampPercent(p), clamped);
}

void TestProgress::texts_data()
{
    QTest::addColumn<float>("percent");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("speed");
    QTest::addColumn<QString>("done");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("speedText");
    QTest::newRow("start") << 0.0f << 0.0 << 0.0 << QStringLiteral(" 0.00%") << QStringLiteral("00:00:00")
                           << QStringLiteral("  0.00x");
    QTest::newRow("100.4 shows as 100") << 100.4f << 59.99 << 12.345 << QStringLiteral("100.00%")
                                        << QStringLiteral("00:00:59") << QStringLiteral(" 12.35x");
    QTest::newRow("hours") << 5.25f << 3723.9 << 100.0 << QStringLiteral(" 5.25%")
                           << QStringLiteral("01:02:03") << QStringLiteral(" 100.00x");
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN()
                                  << std::numeric_limits<double>::quiet_NaN()
                                  << std::numeric_limits<double>::infinity() << QStringLiteral(" 0.00%")
                                  << QStringLiteral("00:00:00") << QStringLiteral("  0.00x");
    QTest::newRow("negative") << -3.0f << -5.0 << -1.0 << QStringLiteral(" 0.00%")
                              << QStringLiteral("00:00:00") << QStringLiteral("  0.00x");
}

void TestProgress::texts()
{
    QFETCH(float, percent);
    QFETCH(double, seconds);
    QFETCH(double, speed);
    QTEST(DoneText(percent), "done");
    QTEST(ClockText(seconds), "clock");
    QTEST(SpeedText(speed), "speedText");
}

void TestProgress::speedNeverDividesByZero()
{
    QCOMPARE(SpeedOf(10.0, 0.0), 0.0);
    QCOMPARE(SpeedOf(10.0, 2.0), 5.0);
    QCOMPARE(SpeedText(SpeedOf(10.0, 0.0)), QStringLiteral("  0.00x"));
}

void TestProgress::ticksWrap()
{
    // Across the wrap of the 32-bit count.
    QCOMPARE(TickDiff(50u, 0xFFFFFFF0u), 66u);
    QVERIFY(!ProgressUpdateDue(40u, 0xFFFFFFF0u));
    QVERIFY(ProgressUpdateDue(100u, 0xFFFFFFF0u));
    QVERIFY(!ProgressUpdateDue(1100u, 1000u));
    QVERIFY(ProgressUpdateDue(1101u, 1000u));
    QCOMPARE(TickSeconds(1500u, 0xFFFFFFFFu - 499u), 2.0f);
}

void TestProgress::everyTenthUpdateShowsTimes()
{
    std::atomic<uint32_t> counter{0};
    ProgressDisplay display(counter);
    // Run and task started 20 s ago; 50 % done, 40 s of audio encoded.
    const ProgressClock clock{100000u, 80000u, 80000u, 40.0};
    for (int update = 1; update <= 20; ++update) {
        const ProgressView view = display.Apply(10.0f, 50.0f, true, clock);
        QVERIFY(view.bShown);
        QCOMPARE(view.strDone, QStringLiteral("50.00%"));
        QCOMPARE(view.nBar, 50);
        QCOMPARE(view.bTimes, update % 10 == 0);
        if (view.bTimes) {
            QCOMPARE(view.strElapsed, QStringLiteral("00:00:20"));
            QVERIFY(view.bEta);
            QCOMPARE(view.strEta, QStringLiteral("00:00:20"));
            QCOMPARE(view.strSpeed, QStringLiteral("  2.00x"));
        }
    }
    // Nothing done yet: Elapsed and Speed, no ETA.
    counter = 9;
    const ProgressView early = display.Apply(0.0f, 0.0f, true, clock);
    QVERIFY(early.bTimes);
    QVERIFY(!early.bEta);
    // A percentage past 100 is clamped.
    const ProgressView over = display.Apply(100.4f, 100.4f, true, clock);
    QCOMPARE(over.strDone, QStringLiteral("100.00%"));
    QCOMPARE(over.nBar, 100);
}

void TestProgress::noTimesInTheFirstTenthOfASecond()
{
    std::atomic<uint32_t> counter{9};
    ProgressDisplay display(counter);
    // The task started 100 ms ago: not more than 0.1 s.
    const ProgressView view = display.Apply(5.0f, 5.0f, true, ProgressClock{10100u, 0u, 10000u, 1.0});
    QVERIFY(view.bShown);
    QVERIFY(!view.bTimes);
    QCOMPARE(counter.load(), 10u);
}

void TestProgress::updateAfterTheRunIsIgnored()
{
    std::atomic<uint32_t> counter{0};
    ProgressDisplay display(counter);
    const ProgressView view = display.Apply(50.0f, 50.0f, false, ProgressClock{});
    QVERIFY(!view.bShown);
    QCOMPARE(counter.load(), 0u);
}

TARNWICK_TEST_MAIN(TestProgress)
#include "tst_progress.moc"
