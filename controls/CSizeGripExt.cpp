// The triangular size grip.
#include "CSizeGripExt.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPolygon>
#include <QRegion>
#include <QStyle>

CSizeGripExt::CSizeGripExt(QWidget* parent) : QSizeGrip(parent)
{
    // The dialog treats the grip like a static control: it never takes focus.
    setFocusPolicy(Qt::NoFocus);
    resize(GripSize());
    RebuildRegion();
}

QSize CSizeGripExt::GripSize() const
{
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QSize(extent, extent);
}

void CSizeGripExt::PlaceInCorner(const QRect& clientRect)
{
    const QSize size = GripSize();
    if (this->size() != size)
        resize(size);
    const int x =
        layoutDirection() == Qt::RightToLeft ? clientRect.left() : clientRect.right() + 1 - size.width();
    move(x, clientRect.bottom() + 1 - size.height());
    raise();
}

int CSizeGripExt::SizingEdge() const
{
    return layoutDirection() == Qt::RightToLeft ? kEdgeBottomLeft : kEdgeBottomRight;
}

bool CSizeGripExt::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
        // New metrics or a mirrored layout: new size and triangle; the
        // corner the grip sits in stays where it was.
        TakeMetrics();
        break;
    default:
        break;
    }
    return QSizeGrip::event(event);
}

void CSizeGripExt::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit sizingStarted(SizingEdge());
    QSizeGrip::mousePressEvent(event);
}

void CSizeGripExt::resizeEvent(QResizeEvent* event)
{
    QSizeGrip::resizeEvent(event);
    RebuildRegion();
}

void CSizeGripExt::RebuildRegion()
{
    const int w = width();
    const int h = height();
    QPolygon triangle;
    if (layoutDirection() == Qt::RightToLeft) {
        // Bottom-left, bottom-right and top-left corners.
        triangle << QPoint(0, 0) << QPoint(0, h) << QPoint(w, h);
    } else {
        // Bottom-left, bottom-right and top-right corners.
        triangle << QPoint(0, h) << QPoint(w, h) << QPoint(w, 0);
    }
    setMask(QRegion(triangle));
}

void CSizeGripExt::TakeMetrics()
{
    const QSize size = GripSize();
    if (size == this->size()) {
        RebuildRegion();
        return;
    }
    const QRect old = geometry();
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const int x = rtl ? old.left() : old.right() + 1 - size.width();
    setGeometry(x, old.bottom() + 1 - size.height(), size.width(), size.height());
    RebuildRegion();
}
