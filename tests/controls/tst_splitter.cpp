// Tests of the splitter: the default and stored bar positions, the clamps
// at the pane minimums, outline and live drags with Esc and focus loss,
// hiding and showing the first pane, and the position kept in the profile.
#include "AppProfile.h"
#include "CSSplitter.h"
#include "TestGuiMain.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <climits>
#include <memory>

namespace {

const QString kVertSection = QStringLiteral("splt\\init_v103");
const QString kHorzSection = QStringLiteral("splt\\init_h103");

// A window holding a splitter with the tree and the list as the main window
// has them: identifier 103, minimums 100 and 150.
struct SplitterWindow
{
    explicit SplitterWindow(int width = 600, int height = 400, unsigned style = 0x50000001, bool live = false)
    {
        window = std::make_unique<QWidget>();
        window->resize(width + 20, height + 20);
        other = new QLineEdit(window.get());
        other->setGeometry(0, height + 2, 100, 16);
        tree = new QListWidget;
        list = new QListWidget;
        splitter = new CSSplitter;
        splitter->SetLiveDrag(live);
        created =
            splitter->Create(style, window.get(), tree, list, 103, QRect(0, 0, width, height), 100, 150);
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
        window->activateWindow();
        active = QTest::qWaitForWindowActive(window.get());
        list->setFocus();
    }

    // Presses at the bar's centre and drags to x (y for a horizontal bar).
    void PressOnBar()
    {
        const EdgeRect bar = splitter->IsVertical() ? splitter->VertBarRect() : splitter->HorzBarRect();
        const QPoint centre((bar.left + bar.right) / 2, (bar.top + bar.bottom) / 2);
        QTest::mousePress(splitter, Qt::LeftButton, {}, centre);
    }
    void MoveTo(int pos)
    {
        QTest::mouseMove(splitter, splitter->IsVertical() ? QPoint(pos, 50) : QPoint(50, pos));
    }
    void Release(int pos)
    {
        QTest::mouseRelease(splitter, Qt::LeftButton, {},
                            splitter->IsVertical() ? QPoint(pos, 50) : QPoint(50, pos));
    }
    void Drag(int pos)
    {
        PressOnBar();
        MoveTo(pos);
        Release(pos);
    }
    void ResizeSplitter(int width, int height) { splitter->resize(width, height); }
    int BarCentre() const
    {
        const EdgeRect bar = splitter->VertBarRect();
        return (bar.left + bar.right) / 2;
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* other = nullptr;
    QListWidget* tree = nullptr;
    QListWidget* list = nullptr;
    CSSplitter* splitter = nullptr;
    bool created = false;
    bool exposed = false;
    bool active = false;
};

QRect Edges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

class TestSplitter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Veltrane Corporation"), QStringLiteral("Tarnwick"));
        settings.remove(QStringLiteral("splt"));
        settings.sync();
    }

    // Without a stored position the tree is 200 pixels wide; the panes
    // become children of the splitter.
    void defaultTreeWidth()
    {
        SplitterWindow w;
        QVERIFY(w.created && w.exposed);
        QCOMPARE(w.tree->parentWidget(), w.splitter);
        QCOMPARE(w.list->parentWidget(), w.splitter);
        QCOMPARE(w.tree->geometry(), Edges(0, 0, 200, 400));
        QCOMPARE(w.list->geometry(), Edges(203, 0, 600, 400));
        QCOMPARE(w.splitter->VertBarRect(), (EdgeRect{198, 0, 204, 400}));
        QVERIFY(w.splitter->isVisible());
    }

    void createRefusesIncompleteArguments()
    {
        QWidget parent;
        QListWidget pane;
        CSSplitter noPane;
        QVERIFY(!noPane.Create(0x50000001, &parent, &pane, nullptr, 103, QRect(0, 0, 300, 200), 100, 150));
        CSSplitter noOrientation;
        QListWidget second;
        QVERIFY(
            !noOrientation.Create(0x50000000, &parent, &pane, &second, 103, QRect(0, 0, 300, 200), 100, 150));
        QVERIFY(!parent.findChild<CSSplitter*>());
    }

    // The bar's centre stops 150 pixels from the right edge and 100 from
    // the left; below 250 pixels the left minimum wins.
    void dragStopsAtMinimums_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("live");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("centre");
        for (bool live : {false, true}) {
            const char* mode = live ? "live" : "outline";
            QTest::addRow("%s, right", mode) << 600 << live << 590 << 450;
            QTest::addRow("%s, beyond the window", mode) << 600 << live << 2000 << 450;
            QTest::addRow("%s, left", mode) << 600 << live << 20 << 100;
            QTest::addRow("%s, beyond the left", mode) << 600 << live << -300 << 100;
            QTest::addRow("%s, inside", mode) << 600 << live << 321 << 321;
            QTest::addRow("%s, narrow, right", mode) << 220 << live << 210 << 100;
            QTest::addRow("%s, narrow, left", mode) << 220 << live << 5 << 100;
        }
    }
    void dragStopsAtMinimums()
    {
        QFETCH(int, width);
        QFETCH(bool, live);
        QFETCH(int, target);
        QFETCH(int, centre);
        SplitterWindow w(600, 400, 0x50000001, live);
        QVERIFY(w.created && w.exposed);
        w.ResizeSplitter(width, 400);
        w.Drag(target);
        QVERIFY(!w.splitter->IsDragging());
        QCOMPARE(w.BarCentre(), centre);
        QCOMPARE(w.tree->width(), centre - 1);
        QCOMPARE(w.list->x(), centre + 2);
        QCOMPARE(w.list->width(), std::max(0, width - centre - 2));
        QCOMPARE(w.splitter->SavedLeftWidth(), centre - 1);
    }

    // In outline mode the panes stay during the drag and a 3-pixel stripe
    // over them shows where the bar goes; in live mode the panes follow.
    void outlineShowsTheBarDuringDrag()
    {
        SplitterWindow w;
        QVERIFY(w.created && w.exposed);
        const QWidget* outline = w.splitter->Outline();
        QVERIFY(outline && !outline->isVisible());
        w.PressOnBar();
        QVERIFY(w.splitter->IsDragging());
        QVERIFY(outline->isVisible());
        QCOMPARE(outline->geometry(), QRect(200, 0, 3, 400));
        w.MoveTo(300);
        QCOMPARE(outline->geometry(), QRect(299, 0, 3, 400));
        QCOMPARE(w.tree->width(), 200);
        w.MoveTo(900);
        QCOMPARE(outline->geometry(), QRect(449, 0, 3, 400));
        w.Release(900);
        QVERIFY(!outline->isVisible());
        QCOMPARE(w.tree->width(), 449);
        QCOMPARE(w.splitter->cursor().shape(), Qt::SizeHorCursor);
    }

    void liveDragMovesPanes()
    {
        SplitterWindow w(600, 400, 0x50000001, true);
        QVERIFY(w.created && w.exposed);
        w.PressOnBar();
        w.MoveTo(260);
        QVERIFY(!w.splitter->Outline()->isVisible());
        QCOMPARE(w.tree->width(), 259);
        QCOMPARE(w.list->x(), 262);
        w.Release(260);
        QCOMPARE(w.tree->width(), 259);
    }

    // Esc during a drag ends it: the outline goes, the focus goes back, the
    // panes stay (in outline mode where they were before the drag).
    void escCancelsDrag_data()
    {
        QTest::addColumn<bool>("live");
        QTest::addColumn<int>("treeWidth");
        QTest::newRow("outline") << false << 200;
        QTest::newRow("live") << true << 349;
    }
    void escCancelsDrag()
    {
        QFETCH(bool, live);
        QFETCH(int, treeWidth);
        SplitterWindow w(600, 400, 0x50000001, live);
        QVERIFY(w.created && w.exposed && w.active);
        QCOMPARE(QApplication::focusWidget(), w.list);
        w.PressOnBar();
        QCOMPARE(QApplication::focusWidget(), w.splitter);
        w.MoveTo(350);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!w.splitter->IsDragging());
        QVERIFY(!w.splitter->Outline()->isVisible());
        QCOMPARE(QApplication::focusWidget(), w.list);
        QCOMPARE(w.tree->width(), treeWidth);
        // The rest of the gesture does nothing.
        w.MoveTo(400);
        w.Release(400);
        QCOMPARE(w.tree->width(), treeWidth);
        QCOMPARE(w.splitter->SavedLeftWidth(), treeWidth);
    }

    // Another widget taking the focus, or the window losing it, ends the
    // drag as Esc does.
    void focusLossEndsDrag_data()
    {
        QTest::addColumn<bool>("deactivate");
        QTest::newRow("focus to another widget") << false;
        QTest::newRow("window deactivated") << true;
    }
    void focusLossEndsDrag()
    {
        QFETCH(bool, deactivate);
        SplitterWindow w;
        QVERIFY(w.created && w.exposed && w.active);
        w.PressOnBar();
        w.MoveTo(330);
        if (deactivate) {
            QEvent event(QEvent::WindowDeactivate);
            QApplication::sendEvent(w.splitter, &event);
        } else {
            w.other->setFocus();
        }
        QVERIFY(!w.splitter->IsDragging());
        QVERIFY(!w.splitter->Outline()->isVisible());
        w.Release(330);
        QCOMPARE(w.tree->width(), 200);
    }

    // Resizing keeps the tree's width; hidden, the list fills the
    // splitter; shown again, the width comes back.
    void hideAndShowKeepWidth()
    {
        SplitterWindow w;
        QVERIFY(w.created && w.exposed);
        w.Drag(241);
        QCOMPARE(w.tree->width(), 240);
        w.ResizeSplitter(900, 500);
        QCOMPARE(w.tree->geometry(), Edges(0, 0, 240, 500));
        QCOMPARE(w.list->geometry(), Edges(243, 0, 900, 500));

        w.splitter->HideFirstPane();
        QVERIFY(!w.splitter->IsFirstPaneShown());
        QVERIFY(!w.tree->isVisible());
        QCOMPARE(w.list->geometry(), Edges(0, 0, 900, 500));
        QVERIFY(w.splitter->VertBarRect().IsEmpty());
        w.PressOnBar(); // nothing to drag
        QVERIFY(!w.splitter->IsDragging());
        QTest::mouseRelease(w.splitter, Qt::LeftButton);
        w.ResizeSplitter(700, 450);
        QCOMPARE(w.list->geometry(), Edges(0, 0, 700, 450));

        w.splitter->ShowFirstPane();
        QVERIFY(w.splitter->IsFirstPaneShown());
        QVERIFY(w.tree->isVisible());
        QCOMPARE(w.tree->geometry(), Edges(0, 0, 240, 450));
        QCOMPARE(w.list->geometry(), Edges(243, 0, 700, 450));
    }

    // Shown again after the window shrank: laid out within the minimums,
    // never a negative list width, the tree's own width kept for later.
    void showAfterShrinking_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("centre");
        QTest::newRow("narrower than tree and list") << 320 << 170;
        QTest::newRow("narrower than both minimums") << 200 << 100;
        QTest::newRow("narrower than the left minimum") << 60 << 100;
    }
    void showAfterShrinking()
    {
        QFETCH(int, width);
        QFETCH(int, centre);
        SplitterWindow w;
        QVERIFY(w.created && w.exposed);
        w.Drag(301);
        w.splitter->HideFirstPane();
        w.ResizeSplitter(width, 400);
        w.splitter->ShowFirstPane();
        QCOMPARE(w.BarCentre(), centre);
        QCOMPARE(w.tree->width(), centre - 1);
        QVERIFY(w.list->width() >= 0);
        QCOMPARE(w.list->width(), std::max(0, width - centre - 2));
        QCOMPARE(w.splitter->SavedLeftWidth(), 300);
        w.ResizeSplitter(900, 400);
        QCOMPARE(w.tree->width(), 300);
    }

    // Hiding and showing belong to the vertical splitter with a right pane.
    void hideNeedsVerticalSplitter()
    {
        SplitterWindow w(600, 400, 0x50000002);
        QVERIFY(w.created && w.exposed);
        w.splitter->HideFirstPane();
        QVERIFY(w.splitter->IsFirstPaneShown());
        QVERIFY(w.tree->isVisible());
    }

    // The position written at close and at destruction is the last layout,
    // also while the tree is hidden; the next splitter starts there.
    void positionSavedWhileHidden()
    {
        {
            SplitterWindow w;
            QVERIFY(w.created && w.exposed);
            w.Drag(261);
            w.splitter->HideFirstPane();
            w.ResizeSplitter(800, 400);
            QVERIFY(w.splitter->SavePosition());
            QCOMPARE(AppProfile::ReadInt(kVertSection, QStringLiteral("VertSplitPos"), -1), 260);
            // Changed meanwhile; the destructor writes the position again.
            QVERIFY(AppProfile::WriteInt(kVertSection, QStringLiteral("VertSplitPos"), 111));
        }
        QCOMPARE(AppProfile::ReadInt(kVertSection, QStringLiteral("VertSplitPos"), -1), 260);
        // Nested groups in the profile: splt/init_v103/VertSplitPos.
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Veltrane Corporation"), QStringLiteral("Tarnwick"));
        QCOMPARE(settings.value(QStringLiteral("splt/init_v103/VertSplitPos")).toInt(), 260);

        SplitterWindow next;
        QVERIFY(next.created);
        QCOMPARE(next.tree->width(), 260);
    }

    // Stored positions from another screen or a hand-edited profile are laid
    // out within the minimums already at set-up.
    void storedPositionBroughtIntoView_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("centre");
        QTest::newRow("in range") << QVariant(280) << 281;
        QTest::newRow("negative") << QVariant(-500) << 100;
        QTest::newRow("zero") << QVariant(0) << 100;
        QTest::newRow("below the minimum") << QVariant(40) << 100;
        QTest::newRow("beyond the right") << QVariant(5000) << 450;
        QTest::newRow("huge") << QVariant(INT_MAX) << 450;
        QTest::newRow("most negative") << QVariant(INT_MIN) << 100;
        QTest::newRow("not a number") << QVariant(QStringLiteral("wide")) << 201;
    }
    void storedPositionBroughtIntoView()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, centre);
        {
            QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                               QStringLiteral("Veltrane Corporation"), QStringLiteral("Tarnwick"));
            settings.setValue(QStringLiteral("splt/init_v103/VertSplitPos"), stored);
        }
        SplitterWindow w;
        QVERIFY(w.created && w.exposed);
        QCOMPARE(w.BarCentre(), centre);
        QCOMPARE(w.tree->geometry(), Edges(0, 0, centre - 1, 400));
        QCOMPARE(w.list->geometry(), Edges(centre + 2, 0, 600, 400));
    }

    // The horizontal bar keeps the bottom pane's height.
    void horizontalKeepsBottomHeight()
    {
        {
            SplitterWindow w(600, 500, 0x50000002);
            QVERIFY(w.created && w.exposed);
            QVERIFY(w.splitter->IsHorizontal());
            QCOMPARE(w.list->geometry(), Edges(0, 200, 600, 500)); // 2 x 150
            QCOMPARE(w.tree->geometry(), Edges(0, 0, 600, 197));
            w.ResizeSplitter(600, 700);
            QCOMPARE(w.list->geometry(), Edges(0, 400, 600, 700));
            w.Drag(-40); // the top minimum stops it
            QCOMPARE(w.splitter->HorzBarRect(), (EdgeRect{0, 97, 600, 103}));
            QCOMPARE(w.list->geometry(), Edges(0, 101, 600, 700));
            w.Drag(690); // the bottom minimum stops it
            QCOMPARE(w.list->geometry(), Edges(0, 551, 600, 700));
            QCOMPARE(w.splitter->cursor().shape(), Qt::SizeVerCursor);
            w.ResizeSplitter(600, 400);
            QCOMPARE(w.list->geometry(), Edges(0, 251, 600, 400));
        }
        QCOMPARE(AppProfile::ReadInt(kHorzSection, QStringLiteral("HorizSplitPos"), -1), 149);
    }

    void cursorOverBar()
    {
        SplitterWindow w;
        QVERIFY(w.created && w.exposed);
        QTest::mouseMove(w.splitter, QPoint(201, 30));
        QCOMPARE(w.splitter->cursor().shape(), Qt::SizeHorCursor);
    }
};

TARNWICK_TEST_GUI_MAIN(TestSplitter)
#include "tst_splitter.moc"
