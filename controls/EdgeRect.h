// A rectangle given by its four edges (right and bottom exclusive), the form
// in which the resizable dialog and the splitter compute their layouts.
#pragma once

#include <QRect>
#include <algorithm>

struct EdgeRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    // Empty when it has no area; an inverted rectangle is empty too.
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const EdgeRect&, const EdgeRect&) = default;

    static EdgeRect FromQRect(const QRect& r)
    {
        return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
    }
    // An inverted rectangle becomes one of no width or height at its left/top.
    QRect ToQRect() const { return QRect(left, top, std::max(0, Width()), std::max(0, Height())); }
};
