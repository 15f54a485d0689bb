// The resizable dialog: the base of the main window and the progress window.
// Registered controls follow the dialog's size by per-axis anchor rules, a
// size grip sits in the bottom-right corner, and the window placement is
// saved in the application profile under an identifier.
#pragma once

#include "CSizeGripExt.h"
#include "ResizeAnchor.h"
#include "WindowPlacementStore.h"

#include <QDialog>
#include <vector>

class CResizeDlg : public QDialog
{
    Q_OBJECT

public:
    // Sizing edge codes.
    static constexpr int WMSZ_LEFT = 1;
    static constexpr int WMSZ_RIGHT = 2;
    static constexpr int WMSZ_TOP = 3;
    static constexpr int WMSZ_TOPLEFT = 4;
    static constexpr int WMSZ_TOPRIGHT = 5;
    static constexpr int WMSZ_BOTTOM = 6;
    static constexpr int WMSZ_BOTTOMLEFT = 7;
    static constexpr int WMSZ_BOTTOMRIGHT = 8;

    // The name of the dynamic property that gives a child its control
    // identifier, for AddAnchor by identifier.
    static const char* ControlIdProperty() { return "tarnwickControlId"; }
    static void SetControlId(QWidget* control, int id);

    explicit CResizeDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~CResizeDlg() override;

    // Registers control (a descendant of the dialog) with its modes for
    // left-, right-, top- and bottom-edge sizing, the extra bits and the
    // ratios of modes 3 to 5. An anchor for the same control is replaced.
    // False when control is not a descendant of the dialog. Initialises the
    // resizing first when that has not happened yet.
    bool AddAnchor(QWidget* control, int nLeftHorz, int nRightHorz, int nTopVert, int nBottomVert,
                   int nExtra = 0, double dHorzRatio = 0.0, double dHorzSizeRatio = 0.0,
                   double dVertRatio = 0.0, double dVertSizeRatio = 0.0);
    // The same for the descendant whose control identifier is nID.
    bool AddAnchor(int nID, int nLeftHorz, int nRightHorz, int nTopVert, int nBottomVert, int nExtra = 0,
                   double dHorzRatio = 0.0, double dHorzSizeRatio = 0.0, double dVertRatio = 0.0,
                   double dVertSizeRatio = 0.0);
    const std::vector<ResizeAnchor>& Anchors() const { return m_aAnchors; }

    // Takes the current client size as the initial and the previous one.
    // Derived windows call it once their controls stand, before AddAnchor;
    // otherwise it happens at the first AddAnchor or show.
    void InitResizing();

    // The size limits of the window; both axes resizable and no minimum by
    // default.
    void SetMinTrackSize(const QSize& size);
    void SetResizable(bool bWidth, bool bHeight);

    // The edge of the resize that follows (as a sizing message reports it);
    // resizes without one count as bottom-right.
    void OnSizing(int edge);
    int LastSizingEdge() const { return m_nLastSizingEdge; }

    // Saves the placement under m_strPlacementKey now; shows "Fail to Save!"
    // and returns false when the profile could not be written. True without
    // effect when no identifier is set. The owner calls it at close; the
    // destructor saves again only when it was not called since the window
    // was last shown.
    bool SaveWindowPlacement();
    // Restores the placement stored under m_strPlacementKey.
    bool LoadWindowPlacement();

    CSizeGripExt& Grip() { return m_grip; }

    void done(int result) override;

    WindowPlacementStore m_placement;
    QString m_strPlacementKey;

protected:
    // Called when the window is asked to close (title bar, window manager,
    // close()). The default ends the dialog as rejected; derived windows run
    // their own close handling instead.
    virtual void OnClose();

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct AxisSelection
    {
        int horz = -1; // -1: the left/right edge is not selected
        int vert = -1;
    };

    AxisSelection SelectEdges(bool restoreOrMaximise) const;
    void MoveAnchors(const AxisSelection& edges, const QSize& client);
    void TakePendingSizes(const QSize& client, bool& horzBaseline, bool& vertBaseline);
    void PlaceGrip();
    void ApplyTrackingLimits();
    void TurnOffAutoDefault();
    void SetExcludeFromErase(ResizeAnchor& anchor);
    EdgeRect ControlRect(const QWidget* control) const;
    void PlaceControl(QWidget* control, const EdgeRect& rc);

    CSizeGripExt m_grip;
    std::vector<ResizeAnchor> m_aAnchors;
    bool m_bInitialised = false;
    QSize m_sizeInitialClient;
    QSize m_sizePreviousClient;
    QSize m_sizeMinTrack{0, 0};
    bool m_bWidthResizable = true;
    bool m_bHeightResizable = true;
    int m_nLastSizingEdge = 0;
    // The next resize follows a change to the normal or maximised state.
    bool m_bStateResizePending = false;
    bool m_bEnding = false;
    bool m_bPlacementSaved = false;
};
