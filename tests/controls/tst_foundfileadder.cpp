// Adding found files to the list from a loader thread while the user sorts:
// every row keeps its own texts and record, and the totals add up.
#include "CReportCtrl.h"
#include "Fixtures.h"
#include "FoundFileAdder.h"
#include "HostHooks.h"
#include "ReportLayoutBlocks.h"
#include "StreamReader.h"
#include "TestGuiMain.h"

#include <QTemporaryDir>

#include <atomic>
#include <thread>

class TestFoundFileAdder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_paths;
    double m_expectedMB = 0;
    double m_expectedSeconds = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(InitInfoDecoder());
        const int rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
        for (int i = 0; i < 42; ++i) {
            FixtureSpec recipe;
            recipe.rate = rates[i % 7];
            recipe.channels = 1 + i % 2;
            recipe.seconds = 0.2 + 0.05 * (i % 5);
            recipe.bitrate = 32;
            const QString path =
                m_dir.filePath(QStringLiteral("%1 r%2.mp3").arg(i, 2, 10, QLatin1Char('0')).arg(recipe.rate));
            QVERIFY(MakeMp3(path, recipe));
            m_paths << path;
            m_expectedMB += double(QFileInfo(path).size()) / 1048576.0;
            m_expectedSeconds += double(recipe.Frames()) / recipe.rate;
        }
        // One file libmpg123 rejects: counted, not timed.
        const QString bad = m_dir.filePath(QStringLiteral("zz bad.mp3"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, '\x11'));
        f.close();
        m_paths << bad;
        m_expectedMB += 4096 / 1048576.0;
    }

    void cleanupTestCase() { ExitInfoDecoder(); }

    void rowsStayWholeWhileSorting()
    {
        CReportCtrl list;
        QVERIFY(list.Create(nullptr, 1));
        list.InsertListColumns(ReadColumnBlock(QByteArray(), DefaultListColumnWidths()));
        list.show();
        CFileListTotals totals;
        std::atomic<int> shown{0};
        SetMessageBoxHook([&shown](const QString& text, MessageIcon) {
            if (text.startsWith(QStringLiteral("Trouble with mpg123: "))) {
                ++shown;
            }
            return kAnswerOk;
        });

        std::atomic<bool> done{false};
        std::thread loader([&] {
            CReportCtrl::WorkerRun run([] { return false; });
            int iconCache = -1;
            for (const QString& path : std::as_const(m_paths)) {
                AddFoundFile(list, totals, FoundFileOf(path), iconCache);
            }
            done = true;
        });
        bool ascending = true;
        while (!done) {
            list.m_aSortKeys = {{COL_FREQUENCY, ascending ? 1 : 0}};
            list.SortRange(0, list.GetItemCount() - 1, true);
            ascending = !ascending;
            QCoreApplication::processEvents();
        }
        loader.join();
        SetMessageBoxHook({});
        list.ShowPendingRows();

        QCOMPARE(list.GetItemCount(), int(m_paths.size()));
        QCOMPARE(totals.m_nFileCount, int(m_paths.size()));
        QVERIFY(qAbs(totals.m_dTotalMB - m_expectedMB) < 1e-9);
        QVERIFY(qAbs(totals.m_dTotalSeconds - m_expectedSeconds) < 1e-6);
        QCOMPARE(shown.load(), 1);
        for (int row = 0; row < list.GetItemCount(); ++row) {
            const CAudioFileInfo* record = list.GetRowOwnerData(row);
            QVERIFY(record);
            const QString name = list.GetCellText(row, COL_NAME);
            if (name == QLatin1String("zz bad.mp3")) {
                QCOMPARE(record->m_bUnusable, 1);
                QCOMPARE(list.GetCellText(row, COL_TYPE), QStringLiteral("Unknown"));
                continue;
            }
            // The file name carries the rate it was made with.

            QCOMPARE(name.section(QLatin1Char('r'), -1).section(QLatin1Char('.'), 0, 0).toUInt(),
                     record->m_nSampleRate);
            QCOMPARE(list.GetCellText(row, COL_FREQUENCY),
                     QStringLiteral("%1 Hz").arg(record->m_nSampleRate));
        }
    }
};

TARNWICK_TEST_GUI_MAIN(TestFoundFileAdder)
#include "tst_foundfileadder.moc"
