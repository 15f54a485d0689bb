// Tests of in-place editing in the file list: opening, the selected part of
// the text, commit and cancel with their messages, keyboard moves, opening
// by mouse, the user actions that cancel, and the operations that must never
// commit an edit (a commit renames a file).
#include "ReportCtrlFixture.h"
#include "TestGuiMain.h"
#include "WorkerThread.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

namespace {

// A list of five files with column 0 and the Title column editable.
struct EditFixture : ListFixture
{
    EditFixture()
    {
        for (int r = 0; r < 5; ++r) {
            QStringList cells(COL_COUNT);
            cells[COL_NAME] = QString("song%1.mp3").arg(r);
            cells[COL_TITLE] = QString("Title %1").arg(r);
            cells[COL_ARTIST] = QString("Artist %1").arg(r);
            Add(cells);
        }
        list->AllowEditing(true);
        list->MarkColumnEditable(COL_NAME);
        list->MarkColumnEditable(COL_TITLE);
        list->activateWindow();
    }

    QLineEdit* Editor() const { return list->Editor(); }
    void Type(const QString& text) const { Editor()->setText(text); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) const { QTest::keyClick(Editor(), key, mods); }
    QPoint CellCentre(int row, int column) const
    {
        return list->visualRect(list->model()->index(row, column)).center();
    }
};

// Runs body on a worker thread while the UI thread serves its calls.
void OnWorker(const std::function<void()>& body)
{
    std::atomic<bool> done{false};
    WorkerThread worker([&] {
        body();
        done.store(true, std::memory_order_release);
    });
    worker.Resume();
    while (!done.load(std::memory_order_acquire))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.Wait(-1);
}

} // namespace

class TestReportCtrlEditor : public QObject
{
    Q_OBJECT

private slots:
    void openSelectsNameWithoutExtension_data();
    void openSelectsNameWithoutExtension();
    void openRefusesHiddenColumnAndBadCells();
    void commitAndCancel_data();
    void commitAndCancel();
    void tabMovesThroughMarkedColumns_data();
    void tabMovesThroughMarkedColumns();
    void upAndDownWrapAround();
    void mouseOpensOnlyOnSelectedFocusedEditableCell();
    void userActionsCancel_data();
    void userActionsCancel();
    void focusLossKeepsTheEdit();
    void removingRowsEndsTheEdit();
    void workerOperationsNeverCommit();
};

void TestReportCtrlEditor::openSelectsNameWithoutExtension_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::newRow("name and extension") << "song.mp3"
                                        << "song";
    QTest::newRow("several dots") << "a.b.c.mp3"
                                  << "a.b.c";
    QTest::newRow("no dot") << "README"
                            << "README";
    QTest::newRow("leading dot only") << ".mp3"
                                      << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestReportCtrlEditor::openSelectsNameWithoutExtension()
{
    QFETCH(QString, text);
    QFETCH(QString, selected);

    EditFixture f;
    f.list->SetCellText(2, COL_NAME, text);
    f.list->ApplyRowState(0, ROW_SELECTED);
    QVERIFY(f.list->OpenEditor(2, COL_NAME));
    QVERIFY(f.Editor()->isVisible());
    QCOMPARE(f.Editor()->text(), text);
    QCOMPARE(f.Editor()->selectedText(), selected);
    QCOMPARE(f.list->m_strTextBeforeEdit, text);
    QCOMPARE(f.list->EditRow(), 2);
    QCOMPARE(f.list->EditColumn(), int(COL_NAME));
    // Only the edited row is selected, and it has the focus.
    QCOMPARE(f.list->CountRowsIn(ROW_SELECTED), 1);
    QCOMPARE(f.list->QueryRowState(2) & (ROW_SELECTED | ROW_FOCUSED), uint32_t(ROW_SELECTED | ROW_FOCUSED));
    QVERIFY(f.list->viewport()->rect().contains(f.Editor()->geometry().center()));
    QVERIFY(f.list->OpenEditor(2, COL_NAME)); // already open there
}

void TestReportCtrlEditor::openRefusesHiddenColumnAndBadCells()
{
    EditFixture f;
    f.list->SetColumnShown(COL_TITLE, false);
    QVERIFY(!f.list->OpenEditor(1, COL_TITLE));
    QVERIFY(!f.list->OpenEditor(5, COL_NAME));
    QVERIFY(!f.list->OpenEditor(0, COL_COUNT));
    QVERIFY(!f.list->IsEditActive());
    QVERIFY(!f.list->CloseEditor(true));

    // A column far to the right is scrolled into view before the editor is placed.
    f.list->resize(300, 200);
    QVERIFY(f.list->OpenEditor(4, COL_COMMENT));
    QVERIFY(f.list->viewport()->rect().contains(f.Editor()->geometry().center()));
    QCOMPARE(f.list->m_strTextBeforeEdit, QString()); // only column 0 records it
}

void TestReportCtrlEditor::commitAndCancel_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("stored");

    QTest::newRow("Enter with a new name") << int(Qt::Key_Return) << "renamed.mp3" << true;
    QTest::newRow("keypad Enter with a new name") << int(Qt::Key_Enter) << "renamed.mp3" << true;
    QTest::newRow("Enter with the same name") << int(Qt::Key_Return) << "song1.mp3" << false;
    QTest::newRow("Enter with another case is a change") << int(Qt::Key_Return) << "SONG1.mp3" << true;
    QTest::newRow("Esc with a new name") << int(Qt::Key_Escape) << "renamed.mp3" << false;
}

void TestReportCtrlEditor::commitAndCancel()
{
    QFETCH(int, key);
    QFETCH(QString, typed);
    QFETCH(bool, stored);

    EditFixture f;
    QVERIFY(f.list->OpenEditor(1, COL_NAME));
    f.Type(typed);
    f.Key(static_cast<Qt::Key>(key));
    QVERIFY(!f.list->IsEditActive());
    QVERIFY(!f.Editor()->isVisible());
    QCOMPARE(f.list->GetCellText(1, COL_NAME), stored ? typed : QString("song1.mp3"));
    QCOMPARE(f.owner.edited.size(), size_t(stored ? 1 : 0));
    if (stored) {
        const ListOwner::Edited& e = f.owner.edited[0];
        QCOMPARE(e.row, 1);
        QCOMPARE(e.column, int(COL_NAME));
        QCOMPARE(e.list, reinterpret_cast<qintptr>(f.list.get()));
        QCOMPARE(e.text, typed); // stored before the message
        QCOMPARE(f.list->m_strTextBeforeEdit, QString("song1.mp3"));
    }
}

void TestReportCtrlEditor::tabMovesThroughMarkedColumns_data()
{
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<int>("hidden");
    QTest::addColumn<int>("expected");

    QTest::newRow("Tab to the next marked column")
        << QList<int>{COL_NAME, COL_ARTIST, COL_TITLE} << false << -1 << int(COL_ARTIST);
    QTest::newRow("marked order, not column order")
        << QList<int>{COL_NAME, COL_TITLE, COL_ARTIST} << false << -1 << int(COL_TITLE);
    QTest::newRow("Shift+Tab wraps to the last")
        << QList<int>{COL_NAME, COL_ARTIST, COL_TITLE} << true << -1 << int(COL_TITLE);
    QTest::newRow("hidden marked columns are passed over")
        << QList<int>{COL_NAME, COL_ARTIST, COL_TITLE} << false << int(COL_ARTIST) << int(COL_TITLE);
    QTest::newRow("one marked column reopens itself") << QList<int>{COL_NAME} << false << -1 << int(COL_NAME);
}

void TestReportCtrlEditor::tabMovesThroughMarkedColumns()
{
    QFETCH(QList<int>, marked);
    QFETCH(bool, backwards);
    QFETCH(int, hidden);
    QFETCH(int, expected);

    ListFixture f;
    QStringList cells(COL_COUNT);
    cells[COL_NAME] = "a.mp3";
    f.Add(cells);
    f.list->AllowEditing(true);
    for (int c : marked)
        f.list->MarkColumnEditable(c);
    if (hidden >= 0)
        f.list->SetColumnShown(hidden, false);
    QVERIFY(f.list->OpenEditor(0, COL_NAME));
    f.list->Editor()->setText("b.mp3");
    QTest::keyClick(f.list->Editor(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                    backwards ? Qt::ShiftModifier : Qt::NoModifier);
    // The Tab committed the first edit.
    QCOMPARE(f.list->GetCellText(0, COL_NAME), QString("b.mp3"));
    QCOMPARE(f.owner.edited.size(), size_t(1));
    QVERIFY(f.list->IsEditActive());
    QCOMPARE(f.list->EditRow(), 0);
    QCOMPARE(f.list->EditColumn(), expected);
}

void TestReportCtrlEditor::upAndDownWrapAround()
{
    EditFixture f;
    QVERIFY(f.list->OpenEditor(4, COL_TITLE));
    f.Key(Qt::Key_Down);
    QCOMPARE(f.list->EditRow(), 0);
    QCOMPARE(f.list->EditColumn(), int(COL_TITLE));
    f.Key(Qt::Key_Up);
    QCOMPARE(f.list->EditRow(), 4);
    f.Key(Qt::Key_Up);
    QCOMPARE(f.list->EditRow(), 3);
    QCOMPARE(f.Editor()->text(), QString("Title 3"));
    QVERIFY(f.owner.edited.empty());
}

void TestReportCtrlEditor::mouseOpensOnlyOnSelectedFocusedEditableCell()
{
    EditFixture f;
    QWidget* viewport = f.list->viewport();
    // First click selects and focuses the row; the second opens the editor.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_NAME));
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->QueryRowState(2) & (ROW_SELECTED | ROW_FOCUSED), uint32_t(ROW_SELECTED | ROW_FOCUSED));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_NAME));
    QVERIFY(f.list->IsEditActive());
    QCOMPARE(f.list->EditRow(), 2);

    // A click elsewhere commits the edit and does not open another one.
    f.Type("clicked.mp3");
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_TITLE));
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->GetCellText(2, COL_NAME), QString("clicked.mp3"));
    QCOMPARE(f.owner.edited.size(), size_t(1));

    // A column not marked editable never opens.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_ARTIST));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_ARTIST));
    QVERIFY(!f.list->IsEditActive());

    // Nor does any column while editing is not allowed.
    f.list->AllowEditing(false);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_NAME));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f.CellCentre(2, COL_NAME));
    QVERIFY(!f.list->IsEditActive());

    // The right button never opens, but commits.
    f.list->AllowEditing(true);
    QVERIFY(f.list->OpenEditor(3, COL_NAME));
    f.Type("right.mp3");
    QTest::mouseClick(viewport, Qt::RightButton, {}, f.CellCentre(3, COL_NAME));
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->GetCellText(3, COL_NAME), QString("right.mp3"));
}

void TestReportCtrlEditor::userActionsCancel_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("vertical scroll bar") << "vscroll";
    QTest::newRow("horizontal scroll bar") << "hscroll";
    QTest::newRow("mouse wheel") << "wheel";
    QTest::newRow("start of a divider drag") << "divider";
    QTest::newRow("end of a column drag") << "columndrag";
}

void TestReportCtrlEditor::userActionsCancel()
{
    QFETCH(QString, action);

    EditFixture f;
    for (int r = 0; r < 60; ++r)
        f.Add({QString("more%1.mp3").arg(r)});
    QVERIFY(f.list->OpenEditor(1, COL_NAME));
    f.Type("changed.mp3");
    QHeaderView* header = f.list->header();
    if (action == "vscroll") {
        f.list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    } else if (action == "hscroll") {
        f.list->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    } else if (action == "wheel") {
        const QPoint at = f.CellCentre(4, COL_ARTIST);
        QWheelEvent wheel(at, f.list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(f.list->viewport(), &wheel);
    } else if (action == "divider") {
        const int x = header->sectionViewportPosition(COL_PATH) + header->sectionSize(COL_PATH) - 1;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    } else {
        header->moveSection(header->visualIndex(COL_TITLE), 3);
    }
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->GetCellText(1, COL_NAME), QString("song1.mp3"));
    QVERIFY(f.owner.edited.empty());
}

void TestReportCtrlEditor::focusLossKeepsTheEdit()
{
    EditFixture f;
    QLineEdit elsewhere;
    elsewhere.show();
    QVERIFY(f.list->OpenEditor(1, COL_NAME));
    f.Type("changed.mp3");
    elsewhere.activateWindow();
    elsewhere.setFocus();
    QCoreApplication::processEvents();
    QVERIFY(f.list->IsEditActive());
    QVERIFY(f.owner.edited.empty());
    QCOMPARE(f.list->GetCellText(1, COL_NAME), QString("song1.mp3"));
}

void TestReportCtrlEditor::removingRowsEndsTheEdit()
{
    EditFixture f;
    QVERIFY(f.list->OpenEditor(1, COL_NAME));
    f.Type("changed.mp3");
    QVERIFY(f.list->RemoveRow(1));
    QVERIFY(!f.list->IsEditActive());
    QVERIFY(f.owner.edited.empty());
    QCOMPARE(f.list->GetCellText(1, COL_NAME), QString("song2.mp3"));

    QVERIFY(f.list->OpenEditor(1, COL_NAME));
    f.Type("kept.mp3");
    QVERIFY(f.list->RemoveRow(3));
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->GetCellText(1, COL_NAME), QString("kept.mp3"));
    QCOMPARE(f.owner.edited.size(), size_t(1));

    QVERIFY(f.list->OpenEditor(0, COL_NAME));
    f.Type("gone.mp3");
    QCOMPARE(f.list->RemoveRows(ROW_UNSELECTED), 2);
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.owner.edited.size(), size_t(1));
    QCOMPARE(f.Column(COL_NAME), QStringList{"song0.mp3"});
}

void TestReportCtrlEditor::workerOperationsNeverCommit()
{
    EditFixture f;
    QVERIFY(f.list->OpenEditor(2, COL_NAME));
    f.Type("typed.mp3");

    // Appends, other cells, colours and a sort that leaves the row in place.
    OnWorker([&] {
        ReportFilledRow row;
        row.cells = QStringList{"zzz.mp3"};
        f.list->AppendFilledRow(std::move(row));
        f.list->SetCellText(2, COL_ARTIST, "from the loader");
        f.list->SetCellText(0, COL_NAME, "a0.mp3");
        f.list->SetCellNumber(2, COL_SIZE, 1.5, 2);
        f.list->PaintCellText(2, COL_TYPE, RGB(255, 0, 0));
        f.list->RepaintRowColors(false);
        f.list->SetHeaderArrow(COL_NAME, 1);
        f.list->SortRange(0, 5, true); // a0, song1, song2 ... stay in place
    });
    QVERIFY(f.list->IsEditActive());
    QCOMPARE(f.list->EditRow(), 2);
    QCOMPARE(f.Editor()->text(), QString("typed.mp3"));
    QCOMPARE(f.list->GetCellText(2, COL_ARTIST), QString("from the loader"));

    // A write to the edited cell cancels.
    OnWorker([&] { f.list->SetCellText(2, COL_NAME, "loader.mp3"); });
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->GetCellText(2, COL_NAME), QString("loader.mp3"));

    // A sort that moves the edited row cancels.
    QVERIFY(f.list->OpenEditor(5, COL_NAME)); // "zzz.mp3"
    f.Type("typed.mp3");
    f.list->m_aSortKeys = {{COL_NAME, 0}};
    OnWorker([&] { f.list->SortRange(0, 5, true); });
    QVERIFY(!f.list->IsEditActive());
    QCOMPARE(f.list->GetCellText(0, COL_NAME), QString("zzz.mp3"));
    QVERIFY(f.owner.edited.empty());

    // Removing rows from the worker cancels.
    QVERIFY(f.list->OpenEditor(1, COL_NAME));
    f.Type("typed.mp3");
    OnWorker([&] { f.list->RemoveRows(ROW_ANY); });
    QVERIFY(!f.list->IsEditActive());
    QVERIFY(f.owner.edited.empty());
    QCOMPARE(f.list->GetItemCount(), 0);
}

TARNWICK_TEST_GUI_MAIN(TestReportCtrlEditor)
#include "tst_reportctrl_editor.moc"
