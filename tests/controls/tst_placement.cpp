// Tests of the placement store: the 44-byte record in the profile, round
// trips through normal, maximised and minimised windows, the show override,
// and records from other screen layouts or hand-edited profiles.
#include "AppProfile.h"
#include "CResizeDlg.h"
#include "TestGuiMain.h"
#include "WindowPlacementStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>

namespace {

const QString kSection = QStringLiteral("Position");
const QString kMainId = QStringLiteral("{3F9D2A61-C0E8-4B57-A1D3-96E47C25B08F}");

QRect Edges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// The eleven little-endian fields of a stored record.
QList<int> Fields(const QByteArray& bytes)
{
    QList<int> fields;
    for (int i = 0; i + 4 <= bytes.size(); i += 4)
        fields << qFromLittleEndian<qint32>(bytes.constData() + i);
    return fields;
}

QByteArray Record(int flags, int showCmd, const QRect& normal)
{
    WindowPlacement wp;
    wp.flags = flags;
    wp.showCmd = showCmd;
    wp.rcNormal = EdgeRect::FromQRect(normal);
    return wp.ToBytes();
}

bool Show(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

QRect PrimaryScreen()
{
    return QGuiApplication::primaryScreen()->geometry();
}

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        AppProfile::WriteBinary(kSection, kMainId, QByteArray());
        AppProfile::WriteInt(kSection, QString(), 0);
    }

    void recordLayout()
    {
        WindowPlacement wp;
        wp.flags = WPF_RESTORETOMAXIMIZED;
        wp.showCmd = SW_SHOWMINIMIZED;
        wp.rcNormal = {10, 20, 310, 220};
        const QByteArray bytes = wp.ToBytes();
        QCOMPARE(bytes.size(), 44);
        QCOMPARE(Fields(bytes), (QList<int>{44, 2, 2, -1, -1, -1, -1, 10, 20, 310, 220}));
        const auto back = WindowPlacement::FromBytes(bytes);
        QVERIFY(back.has_value());
        QCOMPARE(back->rcNormal, wp.rcNormal);
        QVERIFY(!WindowPlacement::FromBytes(bytes.left(43)).has_value());
        QVERIFY(!WindowPlacement::FromBytes(bytes + '\0').has_value());
    }

    // Saved from a normal window and loaded into a new one: same client
    // rectangle, so the window does not creep by its title bar.
    void normalRoundTrip()
    {
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = kMainId;
            dlg.setGeometry(120, 90, 420, 310);
            QVERIFY(Show(dlg));
            QVERIFY(dlg.SaveWindowPlacement());
        }
        const QList<int> fields = Fields(AppProfile::ReadBinary(kSection, kMainId));
        QCOMPARE(fields.size(), 11);
        QCOMPARE(fields.mid(0, 3), (QList<int>{44, 0, SW_SHOWNORMAL}));
        QCOMPARE(fields.mid(7), (QList<int>{120, 90, 540, 400}));

        CResizeDlg again;
        again.m_strPlacementKey = kMainId;
        QVERIFY(again.LoadWindowPlacement());
        QVERIFY(Show(again));
        QCOMPARE(again.geometry(), QRect(120, 90, 420, 310));
        QCOMPARE(again.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
    }

    void maximisedRoundTrip()
    {
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = kMainId;
            dlg.setGeometry(100, 80, 300, 200);
            QVERIFY(Show(dlg));
            dlg.showMaximized();
            QTRY_VERIFY(dlg.isMaximized());
            QVERIFY(dlg.SaveWindowPlacement());
        }
        const QList<int> fields = Fields(AppProfile::ReadBinary(kSection, kMainId));
        QCOMPARE(fields.at(2), SW_SHOWMAXIMIZED);
        QCOMPARE(fields.mid(7), (QList<int>{100, 80, 400, 280}));

        CResizeDlg again;
        again.m_strPlacementKey = kMainId;
        QVERIFY(again.LoadWindowPlacement());
        QVERIFY(Show(again));
        QTRY_VERIFY(again.isMaximized());
        QCOMPARE(again.normalGeometry(), QRect(100, 80, 300, 200));
        again.showNormal();
        QTRY_COMPARE(again.geometry(), QRect(100, 80, 300, 200));
    }

    // A window closed while minimised comes back normal, or maximised when
    // it had been maximised before it was minimised.
    void minimisedComesBack_data()
    {
        QTest::addColumn<bool>("maximisedBefore");
        QTest::newRow("from normal") << false;
        QTest::newRow("from maximised") << true;
    }
    void minimisedComesBack()
    {
        QFETCH(bool, maximisedBefore);
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = kMainId;
            dlg.setGeometry(60, 70, 320, 240);
            QVERIFY(Show(dlg));
            if (maximisedBefore) {
                dlg.showMaximized();
                QTRY_VERIFY(dlg.isMaximized());
            }
            dlg.setWindowState(Qt::WindowMinimized); // as the window manager does
            QTRY_VERIFY(dlg.isMinimized());
            QVERIFY(dlg.SaveWindowPlacement());
        }
        const QList<int> fields = Fields(AppProfile::ReadBinary(kSection, kMainId));
        QCOMPARE(fields.at(2), SW_SHOWMINIMIZED);
        QCOMPARE(fields.at(1), maximisedBefore ? WPF_RESTORETOMAXIMIZED : 0);
        QCOMPARE(fields.mid(7), (QList<int>{60, 70, 380, 310}));

        CResizeDlg again;
        again.m_strPlacementKey = kMainId;
        QVERIFY(again.LoadWindowPlacement());
        QVERIFY(Show(again));
        QVERIFY(!again.isMinimized());
        QTRY_COMPARE(again.isMaximized(), maximisedBefore);
        QCOMPARE(again.normalGeometry(), QRect(60, 70, 320, 240));
    }

    // Records from another program or a hand-edited profile: only 3 is
    // maximised, 2, 6, 7 and 11 are minimised (and restore by the
    // restore-to-maximised bit), anything else is normal, never hidden.
    void foreignShowCommands_data()
    {
        QTest::addColumn<int>("showCmd");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("override");
        QTest::addColumn<int>("expected");
        const int normal = SW_SHOWNORMAL, maximised = SW_SHOWMAXIMIZED, minimised = SW_SHOWMINIMIZED;
        QTest::newRow("hidden") << 0 << 0 << 0 << normal;
        QTest::newRow("normal") << 1 << 0 << 0 << normal;
        QTest::newRow("maximised") << 3 << 0 << 0 << maximised;
        QTest::newRow("show") << 5 << 0 << 0 << normal;
        QTest::newRow("restore") << 9 << 0 << 0 << normal;
        QTest::newRow("huge") << 0x7fffffff << 0 << 0 << normal;
        QTest::newRow("negative") << -3 << 0 << 0 << normal;
        QTest::newRow("minimised") << 2 << 0 << 0 << normal;
        QTest::newRow("minimised, restore maximised") << 2 << 2 << 0 << maximised;
        // flags 1 is not the restore bit ("flags + 1" would give minimised).
        QTest::newRow("minimised, set-min-position flag") << 2 << 1 << 0 << normal;
        QTest::newRow("minimised, all flags") << 2 << 7 << 0 << maximised;
        QTest::newRow("minimize") << 6 << 2 << 0 << maximised;
        QTest::newRow("min no activate") << 7 << 0 << 0 << normal;
        QTest::newRow("force minimize") << 11 << 2 << 0 << maximised;
        // The show override of the section.
        QTest::newRow("override 1 keeps maximised") << 3 << 0 << 1 << maximised;
        QTest::newRow("override 1 keeps minimised") << 2 << 0 << 1 << minimised;
        QTest::newRow("override 1, hidden is normal") << 0 << 0 << 1 << normal;
        QTest::newRow("override 2 normal") << 3 << 0 << 2 << normal;
        QTest::newRow("override 3 maximised") << 1 << 0 << 3 << maximised;
        QTest::newRow("override 4 minimised") << 1 << 0 << 4 << minimised;
        QTest::newRow("override 9 as none") << 3 << 0 << 9 << maximised;
    }
    void foreignShowCommands()
    {
        QFETCH(int, showCmd);
        QFETCH(int, flags);
        QFETCH(int, override);
        QFETCH(int, expected);
        QVERIFY(AppProfile::WriteBinary(kSection, kMainId, Record(flags, showCmd, Edges(50, 40, 450, 340))));
        QVERIFY(AppProfile::WriteInt(kSection, QString(), override));
        CResizeDlg dlg;
        dlg.m_strPlacementKey = kMainId;
        QVERIFY(dlg.LoadWindowPlacement());
        QCOMPARE(dlg.m_placement.nShowOverride, override);
        QCOMPARE(dlg.m_placement.wp.showCmd, expected);
        const Qt::WindowStates state = dlg.windowState();
        QCOMPARE(bool(state & Qt::WindowMaximized) && !(state & Qt::WindowMinimized),
                 expected == SW_SHOWMAXIMIZED);
        QCOMPARE(bool(state & Qt::WindowMinimized), expected == SW_SHOWMINIMIZED);
        QVERIFY(!dlg.isVisible()); // loading never shows the window
        QCOMPARE(dlg.normalGeometry().isValid() ? dlg.normalGeometry() : dlg.geometry(),
                 QRect(50, 40, 400, 300));
    }

    // Rectangles that no screen shows now, empty or inverted ones.
    void rectanglesBroughtIntoView_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QSize>("expectedSize");
        QTest::addColumn<bool>("centred");
        QTest::newRow("on screen") << Edges(10, 10, 310, 210) << QSize(300, 200) << false;
        QTest::newRow("partly on screen") << Edges(-100, -50, 200, 150) << QSize(300, 200) << false;
        QTest::newRow("far right") << Edges(5000, 100, 5300, 300) << QSize(300, 200) << true;
        QTest::newRow("far up left") << Edges(-4000, -3000, -3700, -2800) << QSize(300, 200) << true;
        // Off screen and larger than the screen: the screen's size.
        QTest::newRow("huge, off screen") << Edges(9000, 9000, 19000, 19000) << QSize() << true;
        // Empty and inverted: the window's own size, centred.
        QTest::newRow("empty") << Edges(0, 0, 0, 0) << QSize(250, 150) << true;
        QTest::newRow("inverted") << Edges(400, 300, 100, 100) << QSize(250, 150) << true;
    }
    void rectanglesBroughtIntoView()
    {
        QFETCH(QRect, stored);
        QFETCH(QSize, expectedSize);
        QFETCH(bool, centred);
        WindowPlacement wp;
        wp.rcNormal = {stored.left(), stored.top(), stored.left() + stored.width(),
                       stored.top() + stored.height()};
        if (stored.width() < 0 || stored.height() < 0)
            wp.rcNormal = {400, 300, 100, 100};
        QVERIFY(AppProfile::WriteBinary(kSection, kMainId, wp.ToBytes()));
        const QRect screen = PrimaryScreen();
        if (!expectedSize.isValid())
            expectedSize = screen.size();
        CResizeDlg dlg;
        dlg.m_strPlacementKey = kMainId;
        dlg.resize(250, 150);
        QVERIFY(dlg.LoadWindowPlacement());
        QCOMPARE(dlg.size(), expectedSize);
        if (centred) {
            QCOMPARE(dlg.pos(), QPoint(screen.x() + (screen.width() - expectedSize.width()) / 2,
                                       screen.y() + (screen.height() - expectedSize.height()) / 2));
        } else {
            QCOMPARE(dlg.pos(), stored.topLeft());
        }
    }

    // Nothing stored, or no placement record: false, the window untouched,
    // and the default placement centred on the primary screen.
    void missingRecordLeavesWindow_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("too short") << Record(0, 1, Edges(1, 2, 300, 200)).left(40);
        QTest::newRow("too long") << Record(0, 1, Edges(1, 2, 300, 200)) + QByteArray(4, '\0');
    }
    void missingRecordLeavesWindow()
    {
        QFETCH(QByteArray, stored);
        if (!stored.isEmpty())
            QVERIFY(AppProfile::WriteBinary(kSection, kMainId, stored));
        CResizeDlg dlg;
        dlg.m_strPlacementKey = kMainId;
        dlg.setGeometry(30, 40, 401, 301);
        QVERIFY(!dlg.LoadWindowPlacement());
        QCOMPARE(dlg.geometry(), QRect(30, 40, 401, 301));
        const QRect screen = PrimaryScreen();
        const EdgeRect expected{
            screen.x() + (screen.width() - 401) / 2, screen.y() + (screen.height() - 301) / 2,
            screen.x() + (screen.width() + 401) / 2, screen.y() + (screen.height() + 301) / 2};
        QCOMPARE(dlg.m_placement.wpDefault.rcNormal, expected);
        QCOMPARE(dlg.m_placement.wp.rcNormal, expected);
    }

    // The unnamed value is written back as read, and never before it was.
    void showOverrideWrittenBackOnlyAfterRead()
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Veltrane Corporation"), QStringLiteral("Tarnwick"));
        settings.remove(QStringLiteral("Position/Default"));
        settings.sync();
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = kMainId;
            dlg.resize(200, 100);
            QVERIFY(dlg.SaveWindowPlacement());
        }
        QVERIFY(!AppProfile::HasValue(kSection, QString()));
        QVERIFY(AppProfile::WriteInt(kSection, QString(), 2));
        {
            CResizeDlg dlg;
            dlg.m_strPlacementKey = kMainId;
            dlg.LoadWindowPlacement();
            QCOMPARE(dlg.m_placement.nShowOverride, 2);
            QVERIFY(AppProfile::WriteInt(kSection, QString(), 5)); // changed meanwhile by hand
            QVERIFY(dlg.SaveWindowPlacement());
        }
        QCOMPARE(AppProfile::ReadInt(kSection, QString(), -1), 2);
        // Stored under the name "Default" of the section.
        settings.sync();
        QCOMPARE(settings.value(QStringLiteral("Position/Default")).toInt(), 2);
    }

    // Where windows can neither report nor set their position (Wayland),
    // only size and state go both ways; the stored position bytes stay.
    void positionUnknownKeepsStoredPosition()
    {
        QVERIFY(
            AppProfile::WriteBinary(kSection, kMainId, Record(0, SW_SHOWNORMAL, Edges(70, 60, 370, 260))));
        WindowPlacementStore::OverridePositionsKnown(false);
        CResizeDlg dlg;
        dlg.m_strPlacementKey = kMainId;
        dlg.setGeometry(5, 6, 100, 80);
        const bool loaded = dlg.LoadWindowPlacement();
        const QRect afterLoad = dlg.geometry();
        dlg.resize(420, 330);
        const bool saved = dlg.SaveWindowPlacement();
        WindowPlacementStore::OverridePositionsKnown(std::nullopt);
        QVERIFY(loaded);
        QCOMPARE(afterLoad, QRect(5, 6, 300, 200));
        QVERIFY(saved);
        QCOMPARE(Fields(AppProfile::ReadBinary(kSection, kMainId)).mid(7), (QList<int>{70, 60, 490, 390}));
    }

    // The store works for any top-level window, and refuses child widgets.
    void childWidgetsHaveNoPlacement()
    {
        QWidget window;
        QWidget child(&window);
        WindowPlacementStore store;
        QVERIFY(!store.SavePlacement(&child, kMainId));
        QVERIFY(!store.LoadPlacement(&child, kMainId));
        window.setGeometry(20, 30, 200, 100);
        QVERIFY(store.SavePlacement(&window, kMainId));
        QCOMPARE(Fields(AppProfile::ReadBinary(kSection, kMainId)).mid(7), (QList<int>{20, 30, 220, 130}));
    }
};

TARNWICK_TEST_GUI_MAIN(TestPlacement)
#include "tst_placement.moc"
