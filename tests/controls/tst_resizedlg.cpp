// Tests of the resizable dialog: the anchor modes as the dialog applies
// them, the sizing edges, dialogs without an area, the size grip, the size
// limits, and the keys and close handling of the application's windows.
#include "CResizeDlg.h"
#include "MessageBox.h"
#include "TestGuiMain.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <cmath>

namespace {

// A dialog of 400 x 300 with controls at fixed places, initialised for
// resizing as the derived windows do.
class AnchorDialog : public CResizeDlg
{
public:
    AnchorDialog()
    {
        resize(400, 300);
        pane = new QLabel(this);
        pane->setGeometry(10, 10, 380, 250); // (10, 10, 390, 260)
        status = new QLabel(this);
        status->setGeometry(0, 280, 400, 20); // (0, 280, 400, 300)
        button = new QPushButton(QStringLiteral("Close"), this);
        button->setGeometry(300, 265, 80, 10);
        InitResizing();
    }

    QLabel* pane = nullptr;
    QLabel* status = nullptr;
    QPushButton* button = nullptr;
};

// Records its close requests instead of ending.
class ClosingDialog : public CResizeDlg
{
public:
    int closeRequests = 0;

protected:
    void OnClose() override { ++closeRequests; }
};

QRect Edges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// A 400 x 300 dialog with one control at (100, 60)-(200, 120), its layout
// taken as the initial one; the control is returned for anchoring.
QLabel* StartWithOneControl(CResizeDlg& dlg)
{
    dlg.resize(400, 300);
    auto* control = new QLabel(&dlg);
    control->setGeometry(Edges(100, 60, 200, 120));
    dlg.InitResizing();
    return control;
}

// A hidden window takes its resizes only when shown, so the dialogs under
// test are shown first.
bool Show(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

} // namespace

class TestResizeDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { MessageBox::ClearNextAnswers(); }

    // The main window's anchors: the splitter stretches both ways, the
    // status bar stretches in width and moves down.
    void enlargingStretchesAndMoves()
    {
        AnchorDialog dlg;
        QVERIFY(dlg.AddAnchor(dlg.pane, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_STRETCH));
        QVERIFY(dlg.AddAnchor(dlg.status, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_MOVE, ANCHOR_MOVE));
        QVERIFY(Show(dlg));
        dlg.resize(500, 400);
        QCOMPARE(dlg.pane->geometry(), Edges(10, 10, 490, 360));
        QCOMPARE(dlg.status->geometry(), Edges(0, 380, 500, 400));
        // Back again: every step is relative to the previous size.
        dlg.resize(450, 320);
        QCOMPARE(dlg.pane->geometry(), Edges(10, 10, 440, 280));
        QCOMPARE(dlg.status->geometry(), Edges(0, 300, 450, 320));
        dlg.resize(400, 300);
        QCOMPARE(dlg.pane->geometry(), Edges(10, 10, 390, 260));
    }

    // Each mode on both axes, the dialog going from 400 x 300 to 600 x 450.
    void modeTable_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<double>("sizeRatio");
        QTest::addColumn<QRect>("expected");
        // The control is (100, 60, 200, 120): w 100, h 60, centre (150, 90).
        QTest::newRow("0 none") << int(ANCHOR_NONE) << 0.0 << 0.0 << Edges(100, 60, 200, 120);
        QTest::newRow("1 stretch") << int(ANCHOR_STRETCH) << 0.0 << 0.0 << Edges(100, 60, 400, 270);
        QTest::newRow("2 move") << int(ANCHOR_MOVE) << 0.0 << 0.0 << Edges(300, 210, 400, 270);
        // Centre at 150/400 of 600 = 225 -> left 175; at 90/300 of 450 = 135 -> top 105.
        QTest::newRow("3 center") << int(ANCHOR_CENTER) << 0.9 << 0.0 << Edges(175, 105, 275, 165);
        // Scaled by 1.5 on both axes.
        QTest::newRow("4 scale") << int(ANCHOR_SCALE) << 0.0 << 0.0 << Edges(150, 90, 300, 180);
        // g = 200 (150): left + g*0.25, right = left0 + w + g*0.25 + g*0.5.
        QTest::newRow("5 ratio") << int(ANCHOR_RATIO) << 0.25 << 0.5 << Edges(150, 97, 350, 232);
        QTest::newRow("6 unchanged") << 6 << 0.0 << 0.0 << Edges(100, 60, 200, 120);
        QTest::newRow("15 unchanged") << 15 << 0.0 << 0.0 << Edges(100, 60, 200, 120);
    }
    void modeTable()
    {
        QFETCH(int, mode);
        QFETCH(double, ratio);
        QFETCH(double, sizeRatio);
        QFETCH(QRect, expected);
        CResizeDlg dlg;
        QLabel* control = StartWithOneControl(dlg);
        QVERIFY(dlg.AddAnchor(control, mode, mode, mode, mode, 0, ratio, sizeRatio, ratio, sizeRatio));
        QVERIFY(Show(dlg));
        dlg.resize(600, 450);
        // Ratio: top = 60 + int(150 * 0.25) = 97, bottom = int(60 + 60 + 37.5 + 75) = 232.
        QCOMPARE(control->geometry(), expected);
        // Modes that do not store work from the registered rectangle: a
        // second resize gives the same as one straight to that size.
        dlg.resize(500, 350);
        dlg.resize(600, 450);
        QCOMPARE(control->geometry(), expected);
    }

    // Mode 0 with a scaling mode on the other edge keeps the control's
    // actual place instead of the stored one.
    void noneBesideScaleKeepsActualPlace()
    {
        AnchorDialog dlg;
        QVERIFY(dlg.AddAnchor(dlg.pane, ANCHOR_SCALE, ANCHOR_NONE, ANCHOR_NONE, ANCHOR_NONE));
        QVERIFY(Show(dlg));
        dlg.pane->move(30, 10); // moved by the window itself
        dlg.resize(500, 300);
        QCOMPARE(dlg.pane->geometry().left(), 30);
        // With a plain mode 0 the stored place comes back.
        QVERIFY(dlg.AddAnchor(dlg.status, ANCHOR_NONE, ANCHOR_NONE, ANCHOR_NONE, ANCHOR_NONE));
        dlg.status->move(50, 280);
        dlg.resize(520, 300);
        QCOMPARE(dlg.status->geometry().left(), 50);
        dlg.resize(530, 300);
        QCOMPARE(dlg.status->geometry().left(), 50); // the move stored no new rectangle
    }

    // The last sizing edge picks which edge's mode each axis uses; an axis
    // without a selected edge uses mode 0.
    void sizingEdgeSelectsModes_data()
    {
        QTest::addColumn<int>("edge");
        QTest::addColumn<QRect>("expected");
        // Left-edge modes: stretch both; right-edge modes: move both.
        // The dialog grows from 400 x 300 by 100 x 50.
        QTest::newRow("left") << int(CResizeDlg::WMSZ_LEFT) << Edges(100, 60, 300, 120);
        QTest::newRow("right") << int(CResizeDlg::WMSZ_RIGHT) << Edges(200, 60, 300, 120);
        QTest::newRow("top") << int(CResizeDlg::WMSZ_TOP) << Edges(100, 60, 200, 170);
        QTest::newRow("bottom") << int(CResizeDlg::WMSZ_BOTTOM) << Edges(100, 110, 200, 170);
        QTest::newRow("top-left") << int(CResizeDlg::WMSZ_TOPLEFT) << Edges(100, 60, 300, 170);
        QTest::newRow("top-right") << int(CResizeDlg::WMSZ_TOPRIGHT) << Edges(200, 60, 300, 170);
        QTest::newRow("bottom-left") << int(CResizeDlg::WMSZ_BOTTOMLEFT) << Edges(100, 110, 300, 170);
        QTest::newRow("bottom-right") << int(CResizeDlg::WMSZ_BOTTOMRIGHT) << Edges(200, 110, 300, 170);
        // Unknown to the window system: as the bottom-right corner.
        QTest::newRow("none reported") << 0 << Edges(200, 110, 300, 170);
    }
    void sizingEdgeSelectsModes()
    {
        QFETCH(int, edge);
        QFETCH(QRect, expected);
        CResizeDlg dlg;
        QLabel* control = StartWithOneControl(dlg);
        // left: stretch, right: move, top: stretch, bottom: move
        QVERIFY(dlg.AddAnchor(control, ANCHOR_STRETCH, ANCHOR_MOVE, ANCHOR_STRETCH, ANCHOR_MOVE));
        QVERIFY(Show(dlg));
        dlg.OnSizing(edge);
        dlg.resize(500, 350);
        QCOMPARE(control->geometry(), expected);
        QCOMPARE(dlg.LastSizingEdge(), 0);
    }

    // A restore or maximise uses the right and bottom modes, also after a
    // left edge was reported.
    void maximiseUsesRightAndBottomModes()
    {
        CResizeDlg dlg;
        QLabel* control = StartWithOneControl(dlg);
        QVERIFY(dlg.AddAnchor(control, ANCHOR_NONE, ANCHOR_MOVE, ANCHOR_NONE, ANCHOR_MOVE));
        QVERIFY(Show(dlg));
        const QSize before = dlg.size();
        dlg.OnSizing(CResizeDlg::WMSZ_TOPLEFT);
        dlg.showMaximized();
        QTRY_VERIFY(dlg.isMaximized() && dlg.size() != before);
        const QSize grown = dlg.size() - before;
        QCOMPARE(control->geometry(), Edges(100, 60, 200, 120).translated(grown.width(), grown.height()));
        QVERIFY(!dlg.Grip().isVisible());
        dlg.showNormal();
        QTRY_COMPARE(dlg.size(), before);
        QCOMPARE(control->geometry(), Edges(100, 60, 200, 120));
        QVERIFY(dlg.Grip().isVisible());
    }

    // A dialog anchored while it has no area divides by nothing: its
    // anchors keep their place until it has a size, then follow it.
    void anchorsOfDialogWithoutArea()
    {
        CResizeDlg dlg;
        dlg.setMinimumSize(0, 0);
        dlg.resize(0, 0);
        auto* control = new QLabel(&dlg);
        control->setGeometry(Edges(100, 60, 200, 120));
        dlg.InitResizing();
        QCOMPARE(dlg.size(), QSize(0, 0));
        for (int mode : {int(ANCHOR_CENTER), int(ANCHOR_SCALE), int(ANCHOR_RATIO)}) {
            auto* other = new QLabel(&dlg);
            other->setGeometry(Edges(100, 60, 200, 120));
            QVERIFY(dlg.AddAnchor(other, mode, mode, mode, mode, 0, 0.5, 0.5, 0.5, 0.5));
        }
        QVERIFY(dlg.AddAnchor(control, ANCHOR_SCALE, ANCHOR_SCALE, ANCHOR_CENTER, ANCHOR_CENTER));
        dlg.resize(400, 300);
        QVERIFY(Show(dlg)); // the first size: nothing moves
        QCOMPARE(dlg.size(), QSize(400, 300));
        for (const ResizeAnchor& anchor : dlg.Anchors()) {
            QCOMPARE(anchor.pWnd->geometry(), Edges(100, 60, 200, 120));
            QVERIFY(std::isfinite(anchor.dHorzRatio) && std::isfinite(anchor.dVertRatio));
        }
        dlg.resize(800, 600); // now scaled from 400 x 300 and centred at 90/300
        QCOMPARE(control->geometry(), Edges(200, 150, 400, 210));
    }

    // An anchor for the same control replaces the old one; controls that
    // are not in the dialog are refused; identifiers find controls.
    void registration()
    {
        AnchorDialog dlg;
        QVERIFY(dlg.AddAnchor(dlg.pane, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE, ANCHOR_MOVE));
        QVERIFY(dlg.AddAnchor(dlg.pane, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_NONE, ANCHOR_NONE));
        QCOMPARE(dlg.Anchors().size(), size_t(1));
        QCOMPARE(int(dlg.Anchors().front().nRightHorz), int(ANCHOR_STRETCH));
        QLabel stranger;
        QVERIFY(!dlg.AddAnchor(&stranger, 1, 1, 1, 1));
        QVERIFY(!dlg.AddAnchor(nullptr, 1, 1, 1, 1));
        QVERIFY(!dlg.AddAnchor(1056, 1, 1, 1, 1));
        CResizeDlg::SetControlId(dlg.status, 0xE801);
        QVERIFY(dlg.AddAnchor(0xE801, ANCHOR_STRETCH, ANCHOR_STRETCH, ANCHOR_MOVE, ANCHOR_MOVE));
        QCOMPARE(dlg.Anchors().back().nID, 0xE801);
        QVERIFY(Show(dlg));
        dlg.resize(410, 310);
        QCOMPARE(dlg.status->geometry(), Edges(0, 290, 410, 310));
    }

    // The grip: as large as the scroll-bar metrics, in the bottom-right
    // corner, only its lower-right triangle reacts.
    void gripSitsInCorner()
    {
        AnchorDialog dlg;
        QVERIFY(Show(dlg));
        CSizeGripExt& grip = dlg.Grip();
        const int extent = grip.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        QCOMPARE(grip.size(), QSize(extent, extent));
        QCOMPARE(grip.geometry().bottomRight(), dlg.rect().bottomRight());
        QVERIFY(grip.mask().contains(QPoint(extent - 2, extent - 2)));
        QVERIFY(!grip.mask().contains(QPoint(1, 1)));
        QCOMPARE(grip.focusPolicy(), Qt::NoFocus);
        dlg.resize(520, 330);
        QCOMPARE(grip.geometry().bottomRight(), dlg.rect().bottomRight());
        // Pressing the grip reports a bottom-right sizing.
        QSignalSpy sizing(&grip, &CSizeGripExt::sizingStarted);
        QTest::mousePress(&grip, Qt::LeftButton, {}, QPoint(extent - 2, extent - 2));
        QCOMPARE(sizing.size(), 1);
        QCOMPARE(sizing.front().front().toInt(), int(CResizeDlg::WMSZ_BOTTOMRIGHT));
        QTest::mouseRelease(&grip, Qt::LeftButton, {}, QPoint(extent - 2, extent - 2));
    }

    void fixedAxisIsPinned()
    {
        CResizeDlg dlg;
        dlg.resize(400, 300);
        dlg.SetMinTrackSize(QSize(200, 150));
        dlg.SetResizable(false, true);
        QCOMPARE(dlg.minimumSize(), QSize(200, 150));
        QCOMPARE(dlg.maximumWidth(), 200);
        QCOMPARE(dlg.maximumHeight(), QWIDGETSIZE_MAX);
        dlg.SetResizable(true, true);
        QCOMPARE(dlg.maximumWidth(), QWIDGETSIZE_MAX);
    }

    // Esc and Enter never end the window; closing goes through OnClose.
    void escAndEnterDoNotClose()
    {
        ClosingDialog dlg;
        auto* ok = new QPushButton(QStringLiteral("OK"), &dlg);
        connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
        ok->setDefault(true);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        ok->setFocus();
        for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            QTest::keyClick(&dlg, Qt::Key(key));
            QTest::keyClick(ok, Qt::Key(key));
        }
        QVERIFY(dlg.isVisible());
        QVERIFY(!ok->autoDefault());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.close());
        QCOMPARE(dlg.closeRequests, 1);
        QVERIFY(dlg.isVisible());
        // The window ends when its own handling ends it.
        dlg.done(QDialog::Accepted);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.closeRequests, 1);
    }

    void defaultCloseRejects()
    {
        CResizeDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QSignalSpy rejected(&dlg, &QDialog::rejected);
        dlg.close();
        QCOMPARE(rejected.size(), 1);
        QVERIFY(!dlg.isVisible());
    }

    // A failed save says "Fail to Save!", at close and at destruction.
    void failedSaveIsReported()
    {
        // A folder where the profile file should be: every write fails.
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        const QString blocker = config + QStringLiteral("/Veltrane Corporation/Tarnwick.conf");
        QVERIFY(QDir().mkpath(blocker));
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = QStringLiteral("{5A1C0E3F-77B2-4D19-8C4E-0F2D6B9A1E37}");
            dlg.resize(300, 200);
            MessageBox::SetNextAnswer(MessageBox::kOk);
            const int shown = MessageBox::ShownCount();
            QVERIFY(!dlg.SaveWindowPlacement());
            QCOMPARE(MessageBox::ShownCount(), shown + 1);
            QCOMPARE(MessageBox::LastText(), QStringLiteral("Fail to Save!"));
            QCOMPARE(MessageBox::LastCaption(), QStringLiteral("Tarnwick"));
            dlg.show();
            MessageBox::SetNextAnswer(MessageBox::kOk);
        }
        QCOMPARE(MessageBox::PendingAnswers(), 0); // the destructor's save was reported too
        QCOMPARE(MessageBox::LastText(), QStringLiteral("Fail to Save!"));
        QVERIFY(QDir(blocker).removeRecursively());
        // Saved at close, the destructor does not save or report again.
        const int shown = MessageBox::ShownCount();
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = QStringLiteral("{5A1C0E3F-77B2-4D19-8C4E-0F2D6B9A1E37}");
            QVERIFY(dlg.SaveWindowPlacement());
        }
        QCOMPARE(MessageBox::ShownCount(), shown);
    }
};

TARNWICK_TEST_GUI_MAIN(TestResizeDlg)
#include "tst_resizedlg.moc"
