// One control registered with a resizable dialog, and the per-axis rules by
// which it follows the dialog's size.
#pragma once

#include "EdgeRect.h"

#include <QPointer>
#include <QWidget>

// Anchor modes, per axis. Modes 6 to 15 leave the control where it is.
enum AnchorMode : int
{
    ANCHOR_NONE = 0,
    ANCHOR_STRETCH = 1,
    ANCHOR_MOVE = 2,
    ANCHOR_CENTER = 3,
    ANCHOR_SCALE = 4,
    ANCHOR_RATIO = 5,
};

// Extra bits of an anchor.
inline constexpr int ANCHOR_EXCLUDE_ERASE = 0x1;
inline constexpr int ANCHOR_REPAINT = 0x2;

struct ResizeAnchor
{
    int nID = 0;
    QPointer<QWidget> pWnd;
    unsigned nLeftHorz : 4 = 0;
    unsigned nRightHorz : 4 = 0;
    unsigned nTopVert : 4 = 0;
    unsigned nBottomVert : 4 = 0;
    unsigned bExcludeErase : 1 = 0;
    unsigned bRepaint : 1 = 0;
    // Dialog client coordinates: the rectangle at registration, afterwards
    // the last one placed on the axes whose mode stores it.
    EdgeRect rc;
    double dHorzRatio = 0.0;
    double dHorzSizeRatio = 0.0;
    double dVertRatio = 0.0;
    double dVertSizeRatio = 0.0;
    // The centre ratios of modes 3 and 4 are taken from the client size; an
    // anchor registered while the dialog had no width (height) gets them once
    // it has one.
    bool bHorzRatioPending = false;
    bool bVertRatioPending = false;

    bool UsesHorz(int mode) const { return nLeftHorz == unsigned(mode) || nRightHorz == unsigned(mode); }
    bool UsesVert(int mode) const { return nTopVert == unsigned(mode) || nBottomVert == unsigned(mode); }
};

// The new extent of a control on one axis.
struct AnchorSpan
{
    int lo = 0;
    int hi = 0;
    // Whether the result is stored back into the anchor's rectangle.
    bool stores = false;
};

// The inputs of one axis of one resize.
struct AnchorAxis
{
    int mode = ANCHOR_NONE;         // the mode selected for this resize; negative: keep the control
    bool scaleOrRatio = false;      // either mode of the axis is 4 or 5
    int actualLo = 0, actualHi = 0; // the control's actual extent
    int rcLo = 0, rcHi = 0;         // the anchor's stored extent
    int newLength = 0;              // W: the new client width (height)
    int initialLength = 0;          // W0: the initial client width (height)
    int delta = 0;                  // dx: change since the previous resize
    double ratio = 0.0;
    double sizeRatio = 0.0;
    bool ratioPending = false;
};

// Computes one axis by the anchor mode table. A mode that needs the initial
// size or a ratio that is not yet known leaves the control where it is.
AnchorSpan ComputeAnchorSpan(const AnchorAxis& axis);
