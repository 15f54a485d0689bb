// Tests of the file list's calls from a worker thread: a loader filling rows
// while the UI thread sorts, calls of a stopped run, and a control destroyed
// while a worker waits for it.
#include "ReportCtrlFixture.h"
#include "TestGuiMain.h"
#include "WorkerThread.h"

#include <QtTest>
#include <atomic>
#include <thread>

class TestReportCtrlThreads : public QObject
{
    Q_OBJECT

private slots:
    void workerFillsWhileUiSorts();
    void stoppedRunReturnsWithoutEffect();
    void destroyingControlReleasesWaitingWorker();
};

void TestReportCtrlThreads::workerFillsWhileUiSorts()
{
    ListFixture f;
    const int files = 800;
    int fileCount = 0; // the window's totals: written on the UI thread only
    double totalMB = 0;
    std::atomic<bool> done{false};
    std::atomic<int> columnsSeen{0};

    WorkerThread loader([&] {
        for (int i = 0; i < files; ++i) {
            ReportFilledRow row;
            row.cells = QStringList(COL_COUNT);
            row.cells[COL_NAME] = QString::asprintf("file%05d.mp3", i);
            row.cells[COL_SIZE] = QString::asprintf("%.2f", i / 100.0);
            row.record = std::make_unique<CAudioFileInfo>(Record(i % 256, 0, i / 100.0, 44100, 2, 128));
            if (i % 2)
                row.textColors = {{COL_TITLE, RGB(0, 0, 255)}};
            row.onAppended = [&](int, const CAudioFileInfo* record) {
                ++fileCount;
                totalMB += record->m_dSizeMB;
            };
            if (f.list->AppendFilledRow(std::move(row)) < 0)
                return;
            // The other calls a loader makes, none of which names a row it
            // added (the user may have sorted it elsewhere meanwhile).
            if (i % 40 == 0) {
                f.list->PaintCellText(-1, COL_TYPE, RGB(255, 0, 0), false);
                f.list->RepaintRowColors(false);
                f.list->SetHeaderArrow(COL_NAME, 1);
                if (f.list->CountRowsIn(ROW_ANY) > i && f.list->GetColumnTotal() == COL_COUNT)
                    columnsSeen.fetch_add(1, std::memory_order_relaxed);
            }
        }
        f.list->PaintCellText(-1, COL_TYPE, RGB(255, 0, 0), false);
        f.list->SortRange(0, f.list->GetItemCount() - 1, true);
        done.store(true, std::memory_order_release);
    });
    loader.Resume();

    // The user sorts by size and by name again and again meanwhile.
    int sorts = 0;
    while (!done.load(std::memory_order_acquire)) {
        QCoreApplication::processEvents();
        f.list->HeaderClicked(sorts % 3 == 0 ? COL_SIZE : COL_NAME);
        ++sorts;
    }
    QVERIFY(loader.Wait(-1));
    QVERIFY(sorts > 1);

    QCOMPARE(f.list->GetItemCount(), files);
    QCOMPARE(fileCount, files);
    QCOMPARE(columnsSeen.load(), files / 40);
    double expectedMB = 0;
    for (int i = 0; i < files; ++i)
        expectedMB += i / 100.0;
    QCOMPARE(totalMB, expectedMB);
    // Every row still has its own texts, record and colours.
    for (int r = 0; r < files; ++r) {
        const CAudioFileInfo* info = f.list->GetRowOwnerData(r);
        QVERIFY(info);
        const int i = static_cast<int>(std::lround(info->m_dSizeMB * 100));
        QCOMPARE(f.list->GetCellText(r, COL_NAME), QString::asprintf("file%05d.mp3", i));
        QCOMPARE(f.list->GetCellText(r, COL_SIZE), QString::asprintf("%.2f", i / 100.0));
        QCOMPARE(f.list->GetCellTextColor(r, COL_TITLE), i % 2 ? RGB(0, 0, 255) : kWindowTextColor);
        QCOMPARE(f.list->GetCellTextColor(r, COL_TYPE), RGB(255, 0, 0));
    }
    // The loader's closing sort put the list in the order of the keys.
    const ColumnSortInfo primary = f.list->m_aSortKeys.front();
    for (int r = 1; r < files; ++r) {
        if (primary.nColumn == COL_SIZE) {
            const double x = f.list->GetRowOwnerData(r - 1)->m_dSizeMB;
            const double y = f.list->GetRowOwnerData(r)->m_dSizeMB;
            QVERIFY(primary.bAscending ? x <= y : x >= y);
        } else {
            const QString a = f.list->GetCellText(r - 1, primary.nColumn);
            const QString b = f.list->GetCellText(r, primary.nColumn);
            QVERIFY(primary.bAscending ? a <= b : a >= b);
        }
    }
}

void TestReportCtrlThreads::stoppedRunReturnsWithoutEffect()
{
    ListFixture f;
    f.AddNames({"a"});
    std::atomic<bool> stopped{false};
    std::atomic<bool> waiting{false};
    std::atomic<int> appendResult{0};
    std::atomic<int> countResult{-1};
    std::atomic<bool> textResult{true};

    WorkerThread loader([&] {
        CReportCtrl::WorkerRun run([&] {
            waiting.store(true, std::memory_order_release);
            return stopped.load(std::memory_order_acquire);
        });
        ReportFilledRow row;
        row.cells = QStringList{"b"};
        appendResult.store(f.list->AppendFilledRow(std::move(row)));
        // Once stopped, later calls give up at once as well.
        textResult.store(f.list->SetCellText(0, 0, "changed"));
        countResult.store(f.list->CountRowsIn(ROW_ANY));
    });
    loader.Resume();
    // The UI thread is busy (no events served) when the run is stopped: the
    // worker's call must come back without waiting for it.
    while (!waiting.load(std::memory_order_acquire))
        std::this_thread::yield();
    stopped.store(true, std::memory_order_release);
    QVERIFY(loader.Wait(10000));
    QCOMPARE(appendResult.load(), -1);
    QCOMPARE(textResult.load(), false);
    QCOMPARE(countResult.load(), 0);

    // The abandoned calls never run later.
    QCoreApplication::processEvents();
    QCOMPARE(f.list->GetItemCount(), 1);
    QCOMPARE(f.list->GetCellText(0, 0), QString("a"));
}

void TestReportCtrlThreads::destroyingControlReleasesWaitingWorker()
{
    auto list = std::make_unique<CReportCtrl>();
    list->InsertListColumns(ReadColumnBlock(QByteArray(), DefaultListColumnWidths()));
    CReportCtrl* const target = list.get();
    std::atomic<bool> waiting{false};
    std::atomic<int> result{0};

    WorkerThread loader([&] {
        CReportCtrl::WorkerRun run([&] {
            waiting.store(true, std::memory_order_release);
            return false; // the run itself goes on
        });
        ReportFilledRow row;
        row.cells = QStringList{"b"};
        result.store(target->AppendFilledRow(std::move(row)));
    });
    loader.Resume();
    while (!waiting.load(std::memory_order_acquire))
        std::this_thread::yield();
    // The call is queued; the control goes before serving it.
    list.reset();
    QVERIFY(loader.Wait(10000));
    QCOMPARE(result.load(), -1);
    QCoreApplication::processEvents();
}

TARNWICK_TEST_GUI_MAIN(TestReportCtrlThreads)
#include "tst_reportctrl_threads.moc"
