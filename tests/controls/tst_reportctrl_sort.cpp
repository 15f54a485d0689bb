// Tests of the file list's sorting: the sort keys a header click leaves, the
// comparison rules, ties ordered by later keys in the primary direction, the
// quicksort's order and depth, and what a sort does besides moving rows.
#include "ReportCtrlFixture.h"
#include "ReportListBusy.h"
#include "ReportSort.h"
#include "TestGuiMain.h"

#include <QItemSelectionModel>
#include <QtTest>
#include <cmath>
#include <random>

Q_DECLARE_METATYPE(CAudioFileInfo)

namespace {

using Keys = std::vector<ColumnSortInfo>;

// The quicksort as first designed: recursion into the left part, a loop on
// the right one. The control's version must give the same order.
template <typename Compare>
int LeftFirstQuickSort(std::vector<int>& a, int lo, int hi, bool ascending, Compare& compare, int depth = 1)
{
    int deepest = depth;
    for (;;) {
        const auto [i, j] = PartitionIndices(a, lo, hi, ascending, compare);
        if (lo < j)
            deepest = std::max(deepest, LeftFirstQuickSort(a, lo, j, ascending, compare, depth + 1));
        if (i < hi)
            lo = i;
        else
            return deepest;
    }
}

// McIlroy's adversary, mirrored: values are fixed only when compared, the
// pivot candidate as the largest value so far, so every partition leaves
// nearly everything in its left part. The values fixed during one sort are
// an input on which a left-first recursion goes as deep as the list is long.
std::vector<int> DeepLeftInput(int n)
{
    const int gas = -1;
    std::vector<int> value(static_cast<size_t>(n), gas);
    int nextSolid = n;
    int candidate = 0;
    auto compare = [&](int x, int y) {
        int& vx = value[static_cast<size_t>(x)];
        int& vy = value[static_cast<size_t>(y)];
        if (vx == gas && vy == gas) {
            if (x == candidate)
                vx = --nextSolid;
            else
                vy = --nextSolid;
        }
        if (vx == gas)
            candidate = x;
        else if (vy == gas)
            candidate = y;
        return vx < vy ? -1 : (vx > vy ? 1 : 0);
    };
    std::vector<int> a(static_cast<size_t>(n));
    std::iota(a.begin(), a.end(), 0);
    LeftFirstQuickSort(a, 0, n - 1, true, compare);
    for (int& v : value) {
        if (v == gas)
            v = --nextSolid;
    }
    return value;
}

} // namespace

class TestReportCtrlSort : public QObject
{
    Q_OBJECT

private slots:
    void headerClickKeys_data();
    void headerClickKeys();
    void headerClickSortsOnlyWhenClickable();
    void compareRules_data();
    void compareRules();
    void tiesFollowLaterKeysInPrimaryDirection();
    void sameOrderAsLeftFirstRecursion_data();
    void sameOrderAsLeftFirstRecursion();
    void recursionStaysShallowOnAdversarialInput();
    void tinyListsStillReportAndRecolour_data();
    void tinyListsStillReportAndRecolour();
    void sortMovesWholeRowsWithSelectionAndFocus();
};

void TestReportCtrlSort::headerClickKeys_data()
{
    QTest::addColumn<Keys>("start");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<Keys>("expected");

    QTest::newRow("new column goes first, ascending")
        << Keys{{0, 1}} << QList<int>{4} << Keys{{4, 1}, {0, 1}};
    QTest::newRow("primary clicked twice: ascending, then descending")
        << Keys{{0, 1}} << QList<int>{4, 4} << Keys{{4, 0}, {0, 1}};
    QTest::newRow("primary clicked three times")
        << Keys{{0, 1}} << QList<int>{4, 4, 4} << Keys{{4, 1}, {0, 1}};
    QTest::newRow("secondary becomes primary with its own direction")
        << Keys{{2, 1}, {5, 0}, {7, 1}} << QList<int>{5} << Keys{{5, 0}, {2, 1}, {7, 1}};
    QTest::newRow("seventh distinct column drops the oldest")
        << Keys{{0, 1}} << QList<int>{1, 2, 3, 4, 5, 6}
        << Keys{{6, 1}, {5, 1}, {4, 1}, {3, 1}, {2, 1}, {1, 1}};
    QTest::newRow("re-clicking an old key keeps six") << Keys{{0, 1}} << QList<int>{1, 2, 3, 4, 5, 1}
                                                      << Keys{{1, 1}, {5, 1}, {4, 1}, {3, 1}, {2, 1}, {0, 1}};
}

void TestReportCtrlSort::headerClickKeys()
{
    QFETCH(Keys, start);
    QFETCH(QList<int>, clicks);
    QFETCH(Keys, expected);

    ListFixture f;
    f.list->m_aSortKeys = start;
    for (int column : clicks)
        f.list->HeaderClicked(column);
    QCOMPARE(f.list->m_aSortKeys, expected);
}

void TestReportCtrlSort::headerClickSortsOnlyWhenClickable()
{
    ListFixture f;
    f.AddNames({"b", "c", "a"});
    f.list->SetHeaderClickable(false);
    f.list->HeaderClicked(0);
    f.DeliverPosted();
    QCOMPARE(f.list->m_aSortKeys, (Keys{{0, 0}}));
    QCOMPARE(f.Column(0), (QStringList{"b", "c", "a"}));
    QVERIFY(f.owner.sorted.empty());

    f.list->SetHeaderClickable(true);
    f.list->HeaderClicked(0);
    f.DeliverPosted();
    QCOMPARE(f.Column(0), (QStringList{"a", "b", "c"}));
    QCOMPARE(f.owner.sorted.size(), size_t(1));
    QCOMPARE(f.owner.sorted[0].column, qintptr(0));
    QCOMPARE(f.owner.sorted[0].ascending, qintptr(1));
}

void TestReportCtrlSort::compareRules_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("textA");
    QTest::addColumn<QString>("textB");
    QTest::addColumn<CAudioFileInfo>("recordA");
    QTest::addColumn<CAudioFileInfo>("recordB");
    QTest::addColumn<bool>("aFirst"); // in ascending order

    const CAudioFileInfo zero;
    QTest::newRow("track number first") << int(COL_TRACK) << "10"
                                        << "9" << Record(10) << Record(9) << false;
    QTest::newRow("track 3/10 before 3/12") << int(COL_TRACK) << "3/12"
                                            << "3/10" << Record(3, 12) << Record(3, 10) << false;
    QTest::newRow("track texts are not compared") << int(COL_TRACK) << "a"
                                                  << "b" << Record(2) << Record(1) << false;
    QTest::newRow("size as a number, not its text")
        << int(COL_SIZE) << "10.00"
        << "9.00" << Record(0, 0, 10.0) << Record(0, 0, 9.0) << false;
    QTest::newRow("frequency") << int(COL_FREQUENCY) << ""
                               << "" << Record(0, 0, 0, 48000) << Record(0, 0, 0, 8000) << false;
    QTest::newRow("channels") << int(COL_CHANNEL) << ""
                              << "" << Record(0, 0, 0, 0, 1) << Record(0, 0, 0, 0, 2) << true;
    QTest::newRow("bit rate taken as unsigned")
        << int(COL_BITRATE) << ""
        << "" << Record(0, 0, 0, 0, 0, -1) << Record(0, 0, 0, 0, 0, 320) << false;
    QTest::newRow("a row without record counts as zeros")
        << int(COL_SIZE) << ""
        << "" << Record(0, 0, 0.5) << CAudioFileInfo() << false;
    QTest::newRow("B before a (bytes, case-sensitive)") << int(COL_TITLE) << "a"
                                                        << "B" << zero << zero << false;
    QTest::newRow("prefix first") << int(COL_ARTIST) << "Abba"
                                  << "Ab" << zero << zero << false;
    QTest::newRow("empty text first") << int(COL_ALBUM) << ""
                                      << "x" << zero << zero << true;
    QTest::newRow("non-ASCII after ASCII (UTF-8 bytes)") << int(COL_NAME) << "\u00e9"
                                                         << "z" << zero << zero << false;
    QTest::newRow("date sorts by its text") << int(COL_DATE) << "2001"
                                            << "1999-12" << zero << zero << false;
    QTest::newRow("duration sorts by its text") << int(COL_DURATION) << "00:10:00"
                                                << "01:00:00" << zero << zero << true;
}

void TestReportCtrlSort::compareRules()
{
    QFETCH(int, column);
    QFETCH(QString, textA);
    QFETCH(QString, textB);
    QFETCH(CAudioFileInfo, recordA);
    QFETCH(CAudioFileInfo, recordB);
    QFETCH(bool, aFirst);

    const bool hasRecordB = recordB.m_dSizeMB != 0 || recordB.m_nTrack != 0 || recordB.m_nSampleRate != 0 ||
                            recordB.m_nChannels != 0 || recordB.m_nBitrate != 0 || column != COL_SIZE;
    for (bool bFirstInList : {false, true}) {
        ListFixture f;
        auto addA = [&] {
            QStringList cells(COL_COUNT);
            cells[column] = textA;
            cells[COL_GENRE] = "A";
            f.Add(cells, recordA);
        };
        auto addB = [&] {
            QStringList cells(COL_COUNT);
            cells[column] = textB;
            cells[COL_GENRE] = "B";
            ReportFilledRow row;
            row.cells = cells;
            if (hasRecordB)
                row.record = std::make_unique<CAudioFileInfo>(recordB);
            f.list->AppendFilledRow(std::move(row));
        };
        if (bFirstInList) {
            addB();
            addA();
        } else {
            addA();
            addB();
        }
        f.list->m_aSortKeys = {{column, 1}};
        f.list->SortRange(0, 1, true);
        QCOMPARE(f.list->GetCellText(0, COL_GENRE), aFirst ? QString("A") : QString("B"));
        f.list->m_aSortKeys = {{column, 0}};
        f.list->SortRange(0, 1, true);
        QCOMPARE(f.list->GetCellText(0, COL_GENRE), aFirst ? QString("B") : QString("A"));
    }
}

void TestReportCtrlSort::tiesFollowLaterKeysInPrimaryDirection()
{
    ListFixture f;
    // Artist, Title
    const QList<QPair<QString, QString>> rows = {{"y", "1"}, {"x", "2"}, {"y", "3"}, {"x", "1"}, {"y", "2"}};
    for (const auto& [artist, title] : rows) {
        QStringList cells(COL_COUNT);
        cells[COL_ARTIST] = artist;
        cells[COL_TITLE] = title;
        f.Add(cells);
    }
    // The title key's own direction (descending) is not applied.
    f.list->m_aSortKeys = {{COL_ARTIST, 1}, {COL_TITLE, 0}};
    f.list->SortRange(0, 4, true);
    QCOMPARE(f.Column(COL_ARTIST), (QStringList{"x", "x", "y", "y", "y"}));
    QCOMPARE(f.Column(COL_TITLE), (QStringList{"1", "2", "1", "2", "3"}));

    f.list->m_aSortKeys = {{COL_ARTIST, 0}, {COL_TITLE, 1}};
    f.list->SortRange(0, 4, true);
    QCOMPARE(f.Column(COL_ARTIST), (QStringList{"y", "y", "y", "x", "x"}));
    QCOMPARE(f.Column(COL_TITLE), (QStringList{"3", "2", "1", "2", "1"}));
}

void TestReportCtrlSort::sameOrderAsLeftFirstRecursion_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("distinct");
    QTest::addColumn<bool>("ascending");
    QTest::newRow("many duplicates, ascending") << 3000 << 7 << true;
    QTest::newRow("many duplicates, descending") << 3000 << 7 << false;
    QTest::newRow("mostly distinct") << 5000 << 100000 << true;
    QTest::newRow("all equal") << 500 << 1 << false;
    QTest::newRow("two rows") << 2 << 2 << true;
}

void TestReportCtrlSort::sameOrderAsLeftFirstRecursion()
{
    QFETCH(int, count);
    QFETCH(int, distinct);
    QFETCH(bool, ascending);

    std::mt19937 random(static_cast<unsigned>(count * 31 + distinct));
    std::uniform_int_distribution<int> pick(0, distinct - 1);
    std::vector<int> keys(static_cast<size_t>(count));
    for (int& k : keys)
        k = pick(random);
    auto compare = [&](int x, int y) {
        const int a = keys[static_cast<size_t>(x)];
        const int b = keys[static_cast<size_t>(y)];
        return a < b ? -1 : (a > b ? 1 : 0);
    };
    std::vector<int> reference(static_cast<size_t>(count));
    std::iota(reference.begin(), reference.end(), 0);
    std::vector<int> sorted = reference;
    LeftFirstQuickSort(reference, 0, count - 1, ascending, compare);
    QuickSortIndices(sorted, 0, count - 1, ascending, compare);
    // The sort is not stable, so equal orders mean equal partitions.
    QCOMPARE(sorted, reference);

    // The same through the list, on the Album cell.
    ListFixture f;
    for (int k : keys) {
        QStringList cells(COL_COUNT);
        cells[COL_ALBUM] = QString::asprintf("%06d", k);
        cells[COL_NAME] = QString::number(f.list->GetItemCount());
        f.Add(cells);
    }
    f.list->m_aSortKeys = {{COL_ALBUM, ascending ? 1 : 0}};
    f.list->SortRange(0, count - 1, false);
    QStringList expected;
    for (int row : reference)
        expected << QString::number(row);
    QCOMPARE(f.Column(COL_NAME), expected);
}

void TestReportCtrlSort::recursionStaysShallowOnAdversarialInput()
{
    const int n = 4000;
    const std::vector<int> value = DeepLeftInput(n);
    auto compare = [&](int x, int y) {
        const int a = value[static_cast<size_t>(x)];
        const int b = value[static_cast<size_t>(y)];
        return a < b ? -1 : (a > b ? 1 : 0);
    };
    std::vector<int> reference(static_cast<size_t>(n));
    std::iota(reference.begin(), reference.end(), 0);
    std::vector<int> sorted = reference;
    const int leftFirstDepth = LeftFirstQuickSort(reference, 0, n - 1, true, compare);
    const int depth = QuickSortIndices(sorted, 0, n - 1, true, compare);
    // On this input the left-first recursion goes about n / 2 levels deep,
    // which on a list of 100,000 rows overflows the stack.
    QVERIFY2(leftFirstDepth > n / 4, qPrintable(QString::number(leftFirstDepth)));
    QVERIFY2(depth <= static_cast<int>(std::log2(n)) + 1, qPrintable(QString::number(depth)));
    QCOMPARE(sorted, reference);
    for (int k = 1; k < n; ++k)
        QVERIFY(value[static_cast<size_t>(sorted[static_cast<size_t>(k - 1)])] <=
                value[static_cast<size_t>(sorted[static_cast<size_t>(k)])]);
}

void TestReportCtrlSort::tinyListsStillReportAndRecolour_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("ascending");
    QTest::newRow("empty list") << 0 << true;
    QTest::newRow("one row") << 1 << false;
}

void TestReportCtrlSort::tinyListsStillReportAndRecolour()
{
    QFETCH(int, rows);
    QFETCH(bool, ascending);

    ListFixture f;
    for (int r = 0; r < rows; ++r)
        f.Add({"only"});
    f.list->PaintCellBack(-1, -1, RGB(1, 2, 3), false);
    f.list->m_aSortKeys = {{COL_ARTIST, ascending ? 1 : 0}, {COL_NAME, 1}};
    f.list->SortRange(0, rows - 1, true);
    f.DeliverPosted();
    QCOMPARE(f.owner.sorted.size(), size_t(1));
    QCOMPARE(f.owner.sorted[0].column, qintptr(COL_ARTIST));
    QCOMPARE(f.owner.sorted[0].ascending, qintptr(ascending ? 1 : 0));
    if (rows == 1) {
        QCOMPARE(f.list->GetCellBackColor(0, COL_NAME), kEvenRowColor);
        QCOMPARE(f.list->GetCellBackColor(0, COL_ARTIST), kEvenSortColumnColor);
    }
    QCOMPARE(g_bListBusy.load(), 0);
}

void TestReportCtrlSort::sortMovesWholeRowsWithSelectionAndFocus()
{
    ListFixture f;
    QList<QIcon> icons = {QIcon(), QIcon()};
    f.list->SetRowImageList(icons);
    const QStringList names = {"d", "b", "e", "a", "c"};
    for (int i = 0; i < names.size(); ++i) {
        QStringList cells(COL_COUNT);
        cells[COL_NAME] = names[i];
        cells[COL_SIZE] = QString::number(i);
        f.Add(cells, Record(0, 0, i));
        f.list->SetCellImage(i, COL_NAME, i % 2);
        f.list->PaintCellText(i, COL_TITLE, RGB(i, 0, 0), false);
    }
    f.list->ApplyRowState(1, ROW_SELECTED); // "b"
    f.list->ApplyRowState(2, ROW_SELECTED); // "e"
    f.list->ApplyRowState(3, ROW_FOCUSED);  // "a"

    // Selection changes during the sort come while the list is busy.
    std::vector<int> busyDuringChanges;
    const QMetaObject::Connection watch =
        QObject::connect(f.list->selectionModel(), &QItemSelectionModel::selectionChanged, f.list.get(),
                         [&] { busyDuringChanges.push_back(g_bListBusy.load()); });

    f.list->m_aSortKeys = {{COL_NAME, 1}};
    f.list->SortRange(0, 4, true);
    QCOMPARE(f.Column(COL_NAME), (QStringList{"a", "b", "c", "d", "e"}));
    QVERIFY(!busyDuringChanges.empty());
    QVERIFY(std::all_of(busyDuringChanges.begin(), busyDuringChanges.end(), [](int b) { return b == 1; }));
    QCOMPARE(g_bListBusy.load(), 0);
    QObject::disconnect(watch);
    for (int r = 0; r < 5; ++r) {
        const int original = static_cast<int>(names.indexOf(f.list->GetCellText(r, COL_NAME)));
        QCOMPARE(f.list->GetRowOwnerData(r)->m_dSizeMB, double(original));
        QCOMPARE(f.list->GetCellText(r, COL_SIZE), QString::number(original));
        QCOMPARE(f.list->GetCellImage(r, COL_NAME), original % 2);
        QCOMPARE(f.list->GetCellTextColor(r, COL_TITLE), RGB(original, 0, 0));
    }
    QCOMPARE(f.list->CountRowsIn(ROW_SELECTED), 2);
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, -1), 1); // "b"
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, 1), 4);  // "e"
    QCOMPARE(f.list->NextRowIn(ROW_FOCUSED, -1), 0);  // "a"
}

TARNWICK_TEST_GUI_MAIN(TestReportCtrlSort)
#include "tst_reportctrl_sort.moc"
