// Tests of the file list's rows: inserting, the whole-row append, removing,
// moving, row states, number texts and cell colours.
#include "ReportCtrlFixture.h"
#include "TestGuiMain.h"

#include <QtTest>
#include <clocale>

class TestReportCtrlRows : public QObject
{
    Q_OBJECT

private slots:
    void insertRowUsesItsMask();
    void appendFilledRowPlacesEverything();
    void removeRowSelectsFollowing();
    void removeRowsByMask_data();
    void removeRowsByMask();
    void relocate_data();
    void relocate();
    void rowStates();
    void applyStateToRows_data();
    void applyStateToRows();
    void setCellNumber_data();
    void setCellNumber();
    void setCellNumberIgnoresLocale();
    void paintCellRanges_data();
    void paintCellRanges();
    void repaintRowColors_data();
    void repaintRowColors();
    void outOfRangeDoesNothing();
};

void TestReportCtrlRows::insertRowUsesItsMask()
{
    ListFixture f;
    CAudioFileInfo info;
    // The main window's append: text + state, empty text, at the end.
    QCOMPARE(f.list->InsertRow(ITEM_TEXT | ITEM_STATE, 0, QString(), 0, 0), 0);
    QCOMPARE(f.list->GetRowOwnerData(0), nullptr);
    f.list->SetRowOwnerData(0, &info);
    QCOMPARE(f.list->GetRowOwnerData(0), &info);
    QCOMPARE(f.list->GetCellTextColor(0, COL_ARTIST), kWindowTextColor);
    QCOMPARE(f.list->GetCellBackColor(0, COL_ARTIST), kWindowColor);

    QCOMPARE(f.list->InsertRow(ITEM_TEXT | ITEM_PARAM | ITEM_IMAGE | ITEM_STATE, 0, "first",
                               ROW_SELECTED | ROW_FOCUSED, ROW_SELECTED | ROW_FOCUSED, 3, &info),
             0);
    QCOMPARE(f.list->GetCellText(0, 0), QString("first"));
    QCOMPARE(f.list->GetCellImage(0, 0), 3);
    QCOMPARE(f.list->GetRowOwnerData(0), &info);
    QCOMPARE(f.list->QueryRowState(0), uint32_t(ROW_SELECTED | ROW_FOCUSED | ROW_UNCHECKED));

    // Fields outside the mask are not used; state outside the state mask neither.
    QCOMPARE(f.list->InsertRow(ITEM_STATE, 2, "ignored", ROW_SELECTED, 0, 5, &info), 2);
    QCOMPARE(f.list->GetCellText(2, 0), QString());
    QCOMPARE(f.list->GetCellImage(2, 0), -1);
    QCOMPARE(f.list->GetRowOwnerData(2), nullptr);
    QCOMPARE(f.list->QueryRowState(2) & ROW_SELECTED, 0u);

    QCOMPARE(f.list->InsertRow(ITEM_TEXT, 4, "beyond"), -1);
    QCOMPARE(f.list->InsertRow(ITEM_TEXT, -1, "before"), -1);
    QCOMPARE(f.list->GetItemCount(), 3);
}

void TestReportCtrlRows::appendFilledRowPlacesEverything()
{
    ListFixture f;
    f.Add({"x.mp3"});
    QStringList cells;
    for (int c = 0; c < COL_COUNT + 2; ++c)
        cells << QString("c%1").arg(c);
    ReportFilledRow row;
    row.cells = cells;
    row.record = std::make_unique<CAudioFileInfo>(Record(4, 0, 2.5));
    row.textColors = {{COL_TYPE, RGB(255, 0, 0)}, {99, RGB(1, 1, 1)}};
    row.image = 7;
    const CAudioFileInfo* handed = row.record.get();
    int seenRow = -1;
    const CAudioFileInfo* seenRecord = nullptr;
    row.onAppended = [&](int index, const CAudioFileInfo* record) {
        seenRow = index;
        seenRecord = record;
    };

    QCOMPARE(f.list->AppendFilledRow(std::move(row)), 1);
    QCOMPARE(seenRow, 1);
    QCOMPARE(seenRecord, handed);
    QCOMPARE(f.list->GetRowOwnerData(1), handed);
    for (int c = 0; c < COL_COUNT; ++c)
        QCOMPARE(f.list->GetCellText(1, c), QString("c%1").arg(c));
    QCOMPARE(f.list->GetCellTextColor(1, COL_TYPE), RGB(255, 0, 0));
    QCOMPARE(f.list->GetCellTextColor(1, COL_NAME), kWindowTextColor);
    QCOMPARE(f.list->GetCellImage(1, COL_NAME), 7);
    QCOMPARE(f.list->GetCellImage(1, COL_PATH), -1);
    // Counted at once, shown by the view within the batch period.
    QCOMPARE(f.list->GetItemCount(), 2);
    f.list->ShowPendingRows();
    QCOMPARE(f.list->model()->rowCount(), 2);
}

void TestReportCtrlRows::removeRowSelectsFollowing()
{
    ListFixture f;
    f.AddNames({"a", "b", "c"});
    QVERIFY(f.list->RemoveRow(1, true));
    QCOMPARE(f.Column(0), (QStringList{"a", "c"}));
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, -1), 1);
    QVERIFY(f.list->RemoveRow(1, true)); // no row follows
    QCOMPARE(f.Column(0), QStringList{"a"});
    QVERIFY(!f.list->RemoveRow(5));
}

void TestReportCtrlRows::removeRowsByMask_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("focused");
    QTest::addColumn<uint32_t>("mask");
    QTest::addColumn<int>("removed");

    QTest::newRow("any") << 6 << QList<int>{1} << 2 << uint32_t(ROW_ANY) << 6;
    QTest::newRow("selected") << 6 << QList<int>{1, 2, 5} << 0 << uint32_t(ROW_SELECTED) << 3;
    QTest::newRow("unselected") << 6 << QList<int>{1, 2, 5} << 0 << uint32_t(ROW_UNSELECTED) << 3;
    QTest::newRow("selected and focused")
        << 6 << QList<int>{1, 2} << 2 << uint32_t(ROW_SELECTED | ROW_FOCUSED) << 1;
    QTest::newRow("unchecked is every row") << 4 << QList<int>{} << -1 << uint32_t(ROW_UNCHECKED) << 4;
    QTest::newRow("checked is none") << 4 << QList<int>{0} << 0 << uint32_t(ROW_CHECKED) << 0;
    QList<int> alternate;
    for (int r = 0; r < 100; r += 2)
        alternate << r;
    QTest::newRow("selected in fifty places") << 101 << alternate << 51 << uint32_t(ROW_SELECTED) << 50;
    QTest::newRow("unselected in fifty places, focus removed")
        << 101 << alternate << 51 << uint32_t(ROW_UNSELECTED) << 51;
}

void TestReportCtrlRows::removeRowsByMask()
{
    QFETCH(int, rows);
    QFETCH(QList<int>, selected);
    QFETCH(int, focused);
    QFETCH(uint32_t, mask);
    QFETCH(int, removed);

    ListFixture f;
    for (int r = 0; r < rows; ++r)
        f.Add({QString::number(r)});
    for (int r : selected)
        f.list->ApplyRowState(r, ROW_SELECTED);
    if (focused >= 0)
        f.list->ApplyRowState(focused, ROW_FOCUSED);

    QStringList keptNames, keptSelected;
    QString expectedFocus;
    bool focusedRemoved = false;
    for (int r = 0; r < rows; ++r) {
        const uint32_t state = f.list->QueryRowState(r);
        if (RowMatches(state, mask)) {
            focusedRemoved = focusedRemoved || r == focused;
            continue;
        }
        keptNames << QString::number(r);
        if (state & ROW_SELECTED)
            keptSelected << QString::number(r);
        if (r == focused || (focusedRemoved && expectedFocus.isEmpty() && r > focused))
            expectedFocus = QString::number(r);
    }

    QCOMPARE(f.list->RemoveRows(mask), removed);
    QCOMPARE(f.Column(0), keptNames);
    QStringList nowSelected;
    for (int r = f.list->NextRowIn(ROW_SELECTED, -1); r >= 0; r = f.list->NextRowIn(ROW_SELECTED, r))
        nowSelected << f.list->GetCellText(r, 0);
    QCOMPARE(nowSelected, keptSelected);
    if (!expectedFocus.isEmpty()) {
        const int focus = f.list->NextRowIn(ROW_FOCUSED, -1);
        QVERIFY(focus >= 0);
        QCOMPARE(f.list->GetCellText(focus, 0), expectedFocus);
    }
}

void TestReportCtrlRows::relocate_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("order");

    QTest::newRow("down one") << 1 << 2 << 2 << "acbde";
    QTest::newRow("up one") << 3 << 2 << 2 << "abdce";
    QTest::newRow("to the top") << 3 << -1 << 0 << "dabce";
    QTest::newRow("to the bottom") << 1 << 2147483647 << 4 << "acdeb";
    QTest::newRow("to itself") << 2 << 2 << 2 << "abcde";
    QTest::newRow("last to the bottom") << 4 << 9 << 4 << "abcde";
    QTest::newRow("bad row") << 5 << 0 << -1 << "abcde";
}

void TestReportCtrlRows::relocate()
{
    QFETCH(int, row);
    QFETCH(int, target);
    QFETCH(int, result);
    QFETCH(QString, order);

    ListFixture f;
    f.AddNames({"a", "b", "c", "d", "e"});
    for (int r = 0; r < 5; ++r)
        f.list->PaintCellText(r, COL_ARTIST, RGB(r, r, r), false);
    if (row < 5)
        f.list->ApplyRowState(row, ROW_SELECTED | ROW_FOCUSED);
    f.list->ApplyRowState(0, ROW_SELECTED);
    const QString moved = row < 5 ? f.list->GetCellText(row, 0) : QString();

    QCOMPARE(f.list->RelocateRow(row, target), result);
    QCOMPARE(f.Column(0).join(QString()), order);
    if (result >= 0) {
        QCOMPARE(f.list->GetCellText(result, 0), moved);
        QCOMPARE(f.list->GetCellTextColor(result, COL_ARTIST), RGB(row, row, row));
        QCOMPARE(f.list->QueryRowState(result) & (ROW_SELECTED | ROW_FOCUSED),
                 uint32_t(ROW_SELECTED | ROW_FOCUSED));
        // Row "a" was selected as well and still is, wherever it went.
        const int a = static_cast<int>(f.Column(0).indexOf("a"));
        QVERIFY(f.list->QueryRowState(a) & ROW_SELECTED);
        QCOMPARE(f.list->CountRowsIn(ROW_SELECTED), row == 0 ? 1 : 2);
        QCOMPARE(f.list->CountRowsIn(ROW_FOCUSED), 1);
    }
}

void TestReportCtrlRows::rowStates()
{
    ListFixture f;
    f.AddNames({"a", "b", "c", "d"});
    f.list->ApplyRowState(1, ROW_SELECTED);
    f.list->ApplyRowState(3, ROW_SELECTED | ROW_FOCUSED);
    QCOMPARE(f.list->QueryRowState(0), uint32_t(ROW_UNSELECTED | ROW_UNFOCUSED | ROW_UNCHECKED));
    QCOMPARE(f.list->QueryRowState(3), uint32_t(ROW_SELECTED | ROW_FOCUSED | ROW_UNCHECKED));
    QCOMPARE(f.list->CountRowsIn(ROW_ANY), 4);
    QCOMPARE(f.list->CountRowsIn(ROW_SELECTED), 2);
    QCOMPARE(f.list->CountRowsIn(ROW_SELECTED | ROW_UNFOCUSED), 1);
    QCOMPARE(f.list->CountRowsIn(ROW_ANY | ROW_CHECKED), 4);
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, -1), 1);
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, 1), 3);
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, 3), -1);
    QCOMPARE(f.list->NextRowIn(ROW_UNSELECTED, -5), 0);

    f.list->FlipSelection();
    QCOMPARE(f.list->CountRowsIn(ROW_SELECTED), 2);
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, -1), 0);
    QCOMPARE(f.list->NextRowIn(ROW_SELECTED, 0), 2);

    QVERIFY(f.list->ApplyRowState(3, ROW_UNFOCUSED));
    QCOMPARE(f.list->CountRowsIn(ROW_FOCUSED), 0);
    QVERIFY(!f.list->ApplyRowState(4, ROW_SELECTED));
    QCOMPARE(f.list->QueryRowState(4), 0u);
}

void TestReportCtrlRows::applyStateToRows_data()
{
    QTest::addColumn<uint32_t>("mask");
    QTest::addColumn<uint32_t>("flags");
    QTest::addColumn<int>("matched");
    QTest::addColumn<QString>("selectedAfter"); // one letter per selected row
    QTest::addColumn<int>("focusedAfter");

    // Start: b and d selected, d focused.
    QTest::newRow("select all") << uint32_t(ROW_ANY) << uint32_t(ROW_SELECTED) << 5 << "abcde" << 3;
    QTest::newRow("deselect all") << uint32_t(ROW_ANY) << uint32_t(ROW_UNSELECTED) << 5 << "" << 3;
    QTest::newRow("select the unselected")
        << uint32_t(ROW_UNSELECTED) << uint32_t(ROW_SELECTED) << 3 << "abcde" << 3;
    QTest::newRow("focus the last selected")
        << uint32_t(ROW_SELECTED) << uint32_t(ROW_FOCUSED) << 2 << "bd" << 3;
    QTest::newRow("focus the last unselected")
        << uint32_t(ROW_UNSELECTED) << uint32_t(ROW_FOCUSED) << 3 << "bd" << 4;
    QTest::newRow("unfocus the focused")
        << uint32_t(ROW_FOCUSED) << uint32_t(ROW_UNFOCUSED) << 1 << "bd" << -1;
    QTest::newRow("no match") << uint32_t(ROW_CHECKED) << uint32_t(ROW_SELECTED) << 0 << "bd" << 3;
}

void TestReportCtrlRows::applyStateToRows()
{
    QFETCH(uint32_t, mask);
    QFETCH(uint32_t, flags);
    QFETCH(int, matched);
    QFETCH(QString, selectedAfter);
    QFETCH(int, focusedAfter);

    ListFixture f;
    f.AddNames({"a", "b", "c", "d", "e"});
    f.list->ApplyRowState(1, ROW_SELECTED);
    f.list->ApplyRowState(3, ROW_SELECTED | ROW_FOCUSED);
    QCOMPARE(f.list->ApplyStateToRows(mask, flags), matched);
    QString selected;
    for (int r = f.list->NextRowIn(ROW_SELECTED, -1); r >= 0; r = f.list->NextRowIn(ROW_SELECTED, r))
        selected += f.list->GetCellText(r, 0);
    QCOMPARE(selected, selectedAfter);
    QCOMPARE(f.list->NextRowIn(ROW_FOCUSED, -1), focusedAfter);
}

void TestReportCtrlRows::setCellNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("2.5, shortest") << 2.5 << -1 << "2.5";
    QTest::newRow("3.0, shortest") << 3.0 << -1 << "3";
    QTest::newRow("100, shortest keeps the integer zeros") << 100.0 << -1 << "100";
    QTest::newRow("0, shortest") << 0.0 << -1 << "0";
    QTest::newRow("six decimals at most") << 0.1234567 << -1 << "0.123457";
    QTest::newRow("negative, shortest") << -1.25 << -5 << "-1.25";
    QTest::newRow("1.0 with two decimals") << 1.0 << 2 << "1.00";
    QTest::newRow("rounded to two") << 4.056 << 2 << "4.06";
    QTest::newRow("no decimals") << 2.75 << 0 << "3";
    QTest::newRow("three decimals") << 1048576.0 / 3 << 3 << "349525.333";
}

void TestReportCtrlRows::setCellNumber()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);

    ListFixture f;
    f.AddNames({"a"});
    QVERIFY(f.list->SetCellNumber(0, COL_SIZE, value, decimals));
    QCOMPARE(f.list->GetCellText(0, COL_SIZE), text);
}

void TestReportCtrlRows::setCellNumberIgnoresLocale()
{
    // Qt takes the user's locale at start; a German one must not give "2,50".
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* cLocale = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = cLocale ? cLocale : "C";
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    ListFixture f;
    f.AddNames({"a"});
    f.list->SetCellNumber(0, COL_SIZE, 2.5, 2);
    QCOMPARE(f.list->GetCellText(0, COL_SIZE), QString("2.50"));
    f.list->SetCellNumber(0, COL_SIZE, 2.5, -1);
    QCOMPARE(f.list->GetCellText(0, COL_SIZE), QString("2.5"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    QLocale::setDefault(before);
    if (!german)
        qInfo("de_DE.UTF-8 is not installed: only Qt's default locale was German");
}

void TestReportCtrlRows::paintCellRanges_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("painted"); // one char per cell of a 3 x 18 list, row by row: x painted

    auto cells = [](auto painted) {
        QString s;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < COL_COUNT; ++c)
                s += painted(r, c) ? 'x' : '.';
        return s;
    };
    QTest::newRow("one cell") << 1 << 4 << cells([](int r, int c) { return r == 1 && c == 4; });
    QTest::newRow("a row") << 2 << -1 << cells([](int r, int) { return r == 2; });
    QTest::newRow("a row, column too far") << 0 << int(COL_COUNT) << cells([](int r, int) { return r == 0; });
    QTest::newRow("a column") << -1 << 7 << cells([](int, int c) { return c == 7; });
    QTest::newRow("a column, row too far") << 3 << 0 << cells([](int, int c) { return c == 0; });
    QTest::newRow("everything") << -1 << -1 << cells([](int, int) { return true; });
}

void TestReportCtrlRows::paintCellRanges()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, painted);

    ListFixture f;
    f.AddNames({"a", "b", "c"});
    const COLORREF red = RGB(255, 0, 0);
    const COLORREF blue = RGB(0, 0, 255);
    f.list->PaintCellText(row, column, red, true);
    f.list->PaintCellBack(row, column, blue, false);
    QString text, back;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < COL_COUNT; ++c) {
            text += f.list->GetCellTextColor(r, c) == red ? 'x' : '.';
            back += f.list->GetCellBackColor(r, c) == blue ? 'x' : '.';
        }
    }
    QCOMPARE(text, painted);
    QCOMPARE(back, painted);

    // -1 puts back the list's own colours.
    f.list->PaintCellText(row, column, kSystemColor, false);
    f.list->PaintCellBack(row, column, kSystemColor, false);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < COL_COUNT; ++c) {
            QCOMPARE(f.list->GetCellTextColor(r, c), kWindowTextColor);
            QCOMPARE(f.list->GetCellBackColor(r, c), kWindowColor);
        }
    }
}

void TestReportCtrlRows::repaintRowColors_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("highlight");
    QTest::addColumn<bool>("unusable");
    QTest::addColumn<COLORREF>("expected");

    // The primary sort column is 8 (Title).
    QTest::newRow("even row") << 0 << 2 << true << false << RGB(255, 255, 255);
    QTest::newRow("odd row") << 1 << 2 << true << false << RGB(243, 245, 252);
    QTest::newRow("even row, sort column") << 2 << 8 << true << false << RGB(247, 248, 253);
    QTest::newRow("odd row, sort column") << 3 << 8 << true << false << RGB(235, 238, 250);
    QTest::newRow("even row, sort column, no highlight") << 2 << 8 << false << false << RGB(255, 255, 255);
    QTest::newRow("odd row, sort column, no highlight") << 1 << 8 << false << false << RGB(243, 245, 252);
    QTest::newRow("unusable wins over the sort column") << 3 << 8 << true << true << RGB(255, 225, 241);
    QTest::newRow("unusable even row") << 0 << 0 << false << true << RGB(255, 225, 241);
}

void TestReportCtrlRows::repaintRowColors()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, highlight);
    QFETCH(bool, unusable);
    QFETCH(COLORREF, expected);

    ListFixture f;
    for (int r = 0; r < 4; ++r)
        f.Add({QString::number(r)}, Record(0, 0, 0, 0, 0, 0, unusable && r == row));
    f.list->m_aSortKeys = {{COL_TITLE, 0}, {COL_NAME, 1}};
    f.list->PaintCellBack(-1, -1, RGB(9, 9, 9), false);
    f.list->RepaintRowColors(highlight);
    QCOMPARE(f.list->GetCellBackColor(row, column), expected);
}

void TestReportCtrlRows::outOfRangeDoesNothing()
{
    ListFixture f;
    f.AddNames({"a"});
    QVERIFY(!f.list->SetCellText(1, 0, "x"));
    QVERIFY(!f.list->SetCellText(0, COL_COUNT, "x"));
    QVERIFY(!f.list->SetCellImage(-1, 0, 1));
    QCOMPARE(f.list->GetCellImage(0, COL_COUNT), -1);
    QCOMPARE(f.list->GetCellImage(3, 0), -1);
    QCOMPARE(f.list->GetRowOwnerData(2), nullptr);
    QCOMPARE(f.list->RelocateRow(-1, 0), -1);
    QCOMPARE(f.list->NextRowIn(ROW_ANY, 0), -1);
    QCOMPARE(f.list->AddColumn(COL_COUNT + 1, "x"), -1);
    QCOMPARE(f.Column(0), QStringList{"a"});
}

TARNWICK_TEST_GUI_MAIN(TestReportCtrlRows)
#include "tst_reportctrl_rows.moc"
