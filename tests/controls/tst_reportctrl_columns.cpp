// Tests of the file list's columns: hiding and showing, the refused width
// changes, drops behind the hidden columns, the header menu, fitting,
// scrolling a column into view, the stored layout blocks, header images and
// the empty-list hint.
#include "ReportCtrlFixture.h"
#include "ReportEmptyHint.h"
#include "ReportHeaderView.h"
#include "TestGuiMain.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

using Layout = std::vector<ReportColumnLayout>;
using Keys = std::vector<ColumnSortInfo>;
Q_DECLARE_METATYPE(Layout)
Q_DECLARE_METATYPE(Keys)

namespace {

QByteArray Ints(std::initializer_list<int32_t> values)
{
    QByteArray block;
    for (int32_t v : values) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        block.append(bytes, 4);
    }
    return block;
}

Layout Defaults()
{
    Layout layout;
    for (int w : DefaultListColumnWidths())
        layout.push_back({true, w});
    return layout;
}

} // namespace

class TestReportCtrlColumns : public QObject
{
    Q_OBJECT

private slots:
    void hideAndShowKeepWidthAndPlace();
    void hiddenColumnRefusesWidthChanges();
    void dropsLandBehindHiddenColumns();
    void dividerDoubleClickFitsColumn();
    void headerMenuEntries();
    void headerMenuCommands();
    void headerMenuOpensOnlyFromTheMouse();
    void scrollColumnIntoView_data();
    void scrollColumnIntoView();
    void readColumnBlock_data();
    void readColumnBlock();
    void readSortBlock_data();
    void readSortBlock();
    void layoutRoundTripThroughTheList();
    void headerArrowTakesRowImagesWhenNoneSet();
    void hintRotatesOnRepaintOnly();
    void lightPaletteUnderDarkTheme();
};

void TestReportCtrlColumns::hideAndShowKeepWidthAndPlace()
{
    ListFixture f;
    QHeaderView* header = f.list->header();
    QCOMPARE(f.list->GetColumnWidth(5), 110);

    QVERIFY(f.list->SetColumnShown(5, false));
    QVERIFY(!f.list->IsColumnShown(5));
    QCOMPARE(header->visualIndex(5), 0);
    QCOMPARE(f.list->GetColumnWidth(5), 0);
    QCOMPARE(f.list->GetHiddenWidth(5), 110);

    QVERIFY(f.list->SetColumnShown(9, false));
    QCOMPARE(header->visualIndex(9), 0);
    QCOMPARE(header->visualIndex(5), 1);
    QCOMPARE(header->visualIndex(0), 2);

    // Hiding again keeps the saved width.
    QVERIFY(f.list->SetColumnShown(5, false));
    QCOMPARE(f.list->GetHiddenWidth(5), 110);

    QVERIFY(f.list->SetColumnShown(5, true));
    QVERIFY(f.list->IsColumnShown(5));
    QCOMPARE(header->visualIndex(5), COL_COUNT - 1);
    QCOMPARE(f.list->GetColumnWidth(5), 110);
    QCOMPARE(header->visualIndex(9), 0);
    QCOMPARE(f.list->ColumnLayout()[9], (ReportColumnLayout{false, 70}));
    QCOMPARE(f.list->GetColumnTotal(), int(COL_COUNT));
}

void TestReportCtrlColumns::hiddenColumnRefusesWidthChanges()
{
    ListFixture f;
    QStringList cells(COL_COUNT);
    cells[COL_NAME] = QString(200, 'W');
    cells[COL_ALBUM] = QString(200, 'W');
    f.Add(cells);
    f.list->SetColumnShown(COL_ALBUM, false);

    QVERIFY(!f.list->SetColumnWidth(COL_ALBUM, 50));
    f.list->FitColumn(COL_ALBUM);
    QCOMPARE(f.list->GetColumnWidth(COL_ALBUM), 0);
    QCOMPARE(f.list->GetHiddenWidth(COL_ALBUM), 110);

    // Ctrl + keypad '+' fits every shown column and no hidden one.
    f.list->setFocus();
    QTest::keyClick(f.list.get(), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    QVERIFY(f.list->GetColumnWidth(COL_NAME) > 150);
    QVERIFY(f.list->header()->isSectionHidden(COL_ALBUM));
    QCOMPARE(f.list->GetColumnWidth(COL_ALBUM), 0);
    QCOMPARE(f.list->GetHiddenWidth(COL_ALBUM), 110);

    QVERIFY(f.list->SetColumnWidth(COL_NAME, 60));
    QCOMPARE(f.list->GetColumnWidth(COL_NAME), 60);
    f.list->SetColumnShown(COL_ALBUM, true);
    QCOMPARE(f.list->GetColumnWidth(COL_ALBUM), 110);
}

void TestReportCtrlColumns::dropsLandBehindHiddenColumns()
{
    ListFixture f;
    QHeaderView* header = f.list->header();
    f.list->SetColumnShown(4, false);
    f.list->SetColumnShown(6, false);
    // What a header drag and drop of Title to the far left does.
    header->moveSection(header->visualIndex(COL_TITLE), 0);
    QCOMPARE(header->visualIndex(COL_TITLE), 2);
    QVERIFY(header->isSectionHidden(header->logicalIndex(0)));
    QVERIFY(header->isSectionHidden(header->logicalIndex(1)));
    header->moveSection(header->visualIndex(COL_PATH), 1);
    QCOMPARE(header->visualIndex(COL_PATH), 2);
    QCOMPARE(header->visualIndex(COL_TITLE), 3);
}

void TestReportCtrlColumns::dividerDoubleClickFitsColumn()
{
    ListFixture f;
    QStringList cells(COL_COUNT);
    cells[COL_PATH] = QString(120, 'W');
    f.Add(cells);
    auto* header = static_cast<ReportHeaderView*>(f.list->header());
    const int x = header->sectionViewportPosition(COL_PATH) + header->sectionSize(COL_PATH) - 1;
    QCOMPARE(header->DividerAt(x), int(COL_PATH));
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    QVERIFY(f.list->GetColumnWidth(COL_PATH) > 300);
    QVERIFY(f.list->IsColumnShown(COL_PATH));
}

void TestReportCtrlColumns::headerMenuEntries()
{
    ListFixture f;
    f.list->SetColumnShown(COL_GENRE, false);
    QMenu menu;
    f.list->FillHeaderMenu(menu);
    const QList<QAction*> actions = menu.actions();
    QCOMPARE(actions.size(), COL_COUNT + 2);
    int column = 0;
    for (int i = 0; i < actions.size(); ++i) {
        QAction* a = actions[i];
        if (a->isSeparator()) {
            QVERIFY(column == 3 || column == 12);
            continue;
        }
        QCOMPARE(a->data().toInt(), column);
        QCOMPARE(a->text(), QString::fromLatin1(kListColumns[static_cast<size_t>(column)].header));
        QVERIFY(a->isCheckable());
        QCOMPARE(a->isChecked(), column != COL_GENRE);
        QCOMPARE(a->isEnabled(), column >= 2);
        ++column;
    }
    QCOMPARE(column, int(COL_COUNT));
    QVERIFY(actions[3]->isSeparator());
    QVERIFY(actions[13]->isSeparator());
}

void TestReportCtrlColumns::headerMenuCommands()
{
    ListFixture f;
    f.list->OnHeaderCommand(0);
    f.list->OnHeaderCommand(1);
    QVERIFY(f.list->IsColumnShown(0));
    QVERIFY(f.list->IsColumnShown(1));
    f.list->OnHeaderCommand(COL_COMMENT);
    QVERIFY(!f.list->IsColumnShown(COL_COMMENT));
    f.list->OnHeaderCommand(COL_COMMENT);
    QVERIFY(f.list->IsColumnShown(COL_COMMENT));
    f.list->OnHeaderCommand(COL_COUNT);
    f.list->OnHeaderCommand(-1);
    for (int c = 0; c < COL_COUNT; ++c)
        QVERIFY(f.list->IsColumnShown(c));
}

void TestReportCtrlColumns::headerMenuOpensOnlyFromTheMouse()
{
    ListFixture f;
    int opened = 0;
    // Chooses "Album" in the open menu.
    QObject::connect(f.list.get(), &CReportCtrl::HeaderMenuAboutToOpen, f.list.get(), [&](QMenu* menu) {
        ++opened;
        QTimer::singleShot(0, menu, [menu] {
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator() && a->data().toInt() == COL_ALBUM)
                    menu->setActiveAction(a);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
    });
    QWidget* viewport = f.list->header()->viewport();
    const QPoint inside(20, f.list->header()->height() / 2);

    QContextMenuEvent fromKeyboard(QContextMenuEvent::Keyboard, inside, viewport->mapToGlobal(inside));
    QCoreApplication::sendEvent(viewport, &fromKeyboard);
    QCOMPARE(opened, 0);
    QVERIFY(f.list->IsColumnShown(COL_ALBUM));

    QContextMenuEvent fromMouse(QContextMenuEvent::Mouse, inside, viewport->mapToGlobal(inside));
    QCoreApplication::sendEvent(viewport, &fromMouse);
    QCOMPARE(opened, 1);
    QVERIFY(!f.list->IsColumnShown(COL_ALBUM));
}

void TestReportCtrlColumns::scrollColumnIntoView_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("start");    // scroll position: 0 or -1 for the far right
    QTest::addColumn<int>("widen");    // 0, or make the column this much wider than the view
    QTest::addColumn<QString>("edge"); // where the column ends up: "same", "right", "left"

    QTest::newRow("visible column stays") << 1 << 0 << 0 << "same";
    QTest::newRow("column right of the view aligns right") << int(COL_COMMENT) << 0 << 0 << "right";
    QTest::newRow("column left of the view aligns left") << 1 << -1 << 0 << "left";
    QTest::newRow("column wider than the view aligns left") << int(COL_TITLE) << 0 << 60 << "left";
}

void TestReportCtrlColumns::scrollColumnIntoView()
{
    QFETCH(int, column);
    QFETCH(int, start);
    QFETCH(int, widen);
    QFETCH(QString, edge);

    ListFixture f(500, 300);
    f.AddNames({"a"});
    QHeaderView* header = f.list->header();
    const int width = f.list->viewport()->width();
    if (widen > 0)
        f.list->SetColumnWidth(column, width + widen);
    QScrollBar* bar = f.list->horizontalScrollBar();
    QCoreApplication::processEvents();
    bar->setValue(start < 0 ? bar->maximum() : start);
    const int before = bar->value();

    f.list->ScrollColumnIntoView(column);
    const int left = header->sectionViewportPosition(column);
    const int right = left + header->sectionSize(column);
    if (edge == "same") {
        QCOMPARE(bar->value(), before);
    } else if (edge == "right") {
        QCOMPARE(right, width);
    } else {
        QCOMPARE(left, 0);
    }
}

void TestReportCtrlColumns::readColumnBlock_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<Layout>("expected");

    QTest::newRow("missing block") << QByteArray() << Defaults();
    Layout stored = Defaults();
    stored[4] = {false, 77};
    stored[17] = {true, 10000};
    stored[16] = {true, 1};
    QTest::newRow("a whole stored block") << BuildColumnBlock(stored) << stored;
    QTest::newRow("a partial record is ignored")
        << BuildColumnBlock(stored) + QByteArray(5, '\x01') << stored;
    QTest::newRow("extra records are ignored") << BuildColumnBlock(stored) + Ints({0, 50, 0, 60}) << stored;
    Layout three = Defaults();
    three[2] = {false, 40};
    QTest::newRow("a short block leaves the rest at defaults")
        << Ints({1, 150, 1, 150, 0, 40, 1}) << three; // seven ints: the fourth record is cut
    QTest::newRow("less than one record") << Ints({0}) + QByteArray(3, '\0') << Defaults();
    Layout widths = Defaults();
    widths[3] = {false, 100};
    QTest::newRow("widths outside 1..10000 take the default")
        << Ints({1, 0, 1, -5, 1, 10001, 0, 2000000000}) << widths;
    Layout always = Defaults();
    always[2] = {true, 65};
    QTest::newRow("columns 0 and 1 are always shown; any nonzero means shown")
        << Ints({0, 150, 0, 150, 7, 65}) << always;
}

void TestReportCtrlColumns::readColumnBlock()
{
    QFETCH(QByteArray, block);
    QFETCH(Layout, expected);
    QCOMPARE(ReadColumnBlock(block, DefaultListColumnWidths()), expected);
}

void TestReportCtrlColumns::readSortBlock_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<Keys>("expected");

    QTest::newRow("missing") << QByteArray() << Keys{{0, 1}};
    QTest::newRow("stored keys") << BuildSortBlock({{8, 0}, {4, 1}}) << Keys{{8, 0}, {4, 1}};
    QTest::newRow("partial record ignored") << BuildSortBlock({{8, 0}}) + QByteArray(4, '\0') << Keys{{8, 0}};
    QTest::newRow("columns outside 0..17 dropped") << Ints({18, 1, -1, 1, 5, 0}) << Keys{{5, 0}};
    QTest::newRow("later duplicates dropped") << Ints({5, 0, 7, 1, 5, 1}) << Keys{{5, 0}, {7, 1}};
    QTest::newRow("nonzero direction is ascending") << Ints({3, 42, 4, -1}) << Keys{{3, 1}, {4, 1}};
    QTest::newRow("at most six keys") << Ints({1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1, 7, 1})
                                      << Keys{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}};
    QTest::newRow("duplicates do not count toward six")
        << Ints({1, 1, 1, 0, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1})
        << Keys{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}};
    QTest::newRow("nothing valid left") << Ints({99, 1, 99, 0}) << Keys{{0, 1}};
}

void TestReportCtrlColumns::readSortBlock()
{
    QFETCH(QByteArray, block);
    QFETCH(Keys, expected);
    QCOMPARE(ReadSortBlock(block, COL_COUNT), expected);
    QCOMPARE(ReadSortBlock(BuildSortBlock(expected), COL_COUNT), expected);
}

void TestReportCtrlColumns::layoutRoundTripThroughTheList()
{
    Layout stored = Defaults();
    stored[COL_GENRE] = {false, 77};
    stored[COL_TITLE] = {true, 222};
    CReportCtrl list;
    list.InsertListColumns(stored);
    QVERIFY(!list.IsColumnShown(COL_GENRE));
    QCOMPARE(list.GetHiddenWidth(COL_GENRE), 77);
    QCOMPARE(list.GetColumnWidth(COL_TITLE), 222);
    QCOMPARE(list.ColumnLayout(), stored);
    QCOMPARE(BuildColumnBlock(list.ColumnLayout()).size(), 8 * COL_COUNT);
}

void TestReportCtrlColumns::headerArrowTakesRowImagesWhenNoneSet()
{
    ListFixture f;
    auto* header = static_cast<ReportHeaderView*>(f.list->header());
    f.list->SetRowImageList(CReportCtrl::SortArrowImages());
    QVERIFY(!header->HasImages());
    f.list->SetHeaderArrow(COL_TAG, 1);
    QCOMPARE(header->Images().size(), 3);
    QCOMPARE(f.list->GetHeaderArrow(COL_TAG), 1);
    QCOMPARE(f.list->GetHeaderArrow(COL_NAME), -1);
    f.list->SetHeaderArrow(COL_COUNT, 1);
    QCOMPARE(f.list->GetHeaderArrow(COL_COUNT), -1);
}

void TestReportCtrlColumns::hintRotatesOnRepaintOnly()
{
    ListFixture f;
    uint32_t now = 0;
    f.list->SetHintClock([&] { return now; });
    // Renders the list as a paint of the window does.
    auto Repaint = [&] { return f.list->viewport()->grab().toImage(); };
    Repaint();
    QCOMPARE(f.list->LastHintText(), QString()); // not enabled

    f.list->SetEmptyHint(true);
    const QImage shot = Repaint();
    QCOMPARE(f.list->LastHintText(), QString("Drag & Drop files and folders here"));
    bool hintColour = false;
    for (int y = 0; y < shot.height() && !hintColour; ++y)
        for (int x = 0; x < shot.width() && !hintColour; ++x)
            hintColour = shot.pixel(x, y) == qRgb(106, 106, 255);
    QVERIFY(hintColour);

    now = 6000;
    QCOMPARE(f.list->LastHintText(), HintText(0)); // no repaint yet
    Repaint();
    QCOMPARE(f.list->LastHintText(), QString("Add files by clicking the \"Add Files\" toolbar button"));
    now = 59999;
    Repaint();
    QCOMPARE(f.list->LastHintText(),
             QString("Right click the column header and click the floating popup menu to show/hide columns"));
    now = 60000;
    Repaint();
    QCOMPARE(f.list->LastHintText(), HintText(0));
    now = 0xFFFFFFFFu; // the tick count wraps: 715827 periods
    Repaint();
    QCOMPARE(f.list->LastHintText(), HintText(7));

    f.AddNames({"a"});
    Repaint();
    QCOMPARE(f.list->LastHintText(), QString());
}

void TestReportCtrlColumns::lightPaletteUnderDarkTheme()
{
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    QApplication::setPalette(dark);
    ListFixture f;
    f.Add({"a"});
    QCOMPARE(f.list->palette().color(QPalette::Base), QColor(255, 255, 255));
    QCOMPARE(f.list->palette().color(QPalette::Text), QColor(0, 0, 0));
    QCOMPARE(f.list->viewport()->palette().color(QPalette::Base), QColor(255, 255, 255));
    // The rows' default colours are the list's own, not the theme's.
    const QImage shot = f.list->viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(shot.width() - 5, shot.height() - 5), QColor(255, 255, 255));
    QApplication::setPalette(before);
}

TARNWICK_TEST_GUI_MAIN(TestReportCtrlColumns)
#include "tst_reportctrl_columns.moc"
