// The anchor mode table.
#include "ResizeAnchor.h"

AnchorSpan ComputeAnchorSpan(const AnchorAxis& a)
{
    const AnchorSpan keep{a.actualLo, a.actualHi, false};
    const int w = a.rcHi - a.rcLo;
    if (a.mode < 0)
        return keep;
    switch (a.mode) {
    case ANCHOR_NONE:
        if (a.scaleOrRatio)
            return keep;
        return {a.rcLo, a.rcHi, true};
    case ANCHOR_STRETCH:
        return {a.rcLo, a.rcHi + a.delta, true};
    case ANCHOR_MOVE:
        return {a.rcLo + a.delta, a.rcHi + a.delta, true};
    case ANCHOR_CENTER: {
        if (a.ratioPending)
            return keep;
        const int lo = static_cast<int>(a.newLength * a.ratio - w * 0.5);
        return {lo, lo + w, true};
    }
    case ANCHOR_SCALE:
        if (a.initialLength <= 0)
            return keep;
        return {static_cast<int>(qint64(a.rcLo) * a.newLength / a.initialLength),
                static_cast<int>(qint64(a.rcHi) * a.newLength / a.initialLength), false};
    case ANCHOR_RATIO: {
        if (a.initialLength <= 0)
            return keep;
        const int g = a.newLength - a.initialLength;
        return {a.rcLo + static_cast<int>(g * a.ratio),
                static_cast<int>(a.rcLo + w + g * a.ratio + g * a.sizeRatio), false};
    }
    default:
        return {a.rcLo, a.rcHi, true};
    }
}
