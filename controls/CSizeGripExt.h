// The size grip in the bottom-right corner of a resizable dialog: a
// QSizeGrip (so the system's own resize is used where there is one) that
// paints and reacts only in its lower-right triangle.
#pragma once

#include <QSizeGrip>

class CSizeGripExt : public QSizeGrip
{
    Q_OBJECT

public:
    // Sizing edge codes reported to the dialog when a drag starts.
    static constexpr int kEdgeBottomLeft = 7;
    static constexpr int kEdgeBottomRight = 8;

    explicit CSizeGripExt(QWidget* parent);

    // As wide as a vertical scroll bar and as high as a horizontal one.
    QSize GripSize() const;
    // Moves the grip so that its bottom-right corner lies at corner
    // (its bottom-left corner with right-to-left layout).
    void PlaceInCorner(const QRect& clientRect);
    // The edge a drag of this grip sizes: bottom-left with right-to-left
    // layout, bottom-right otherwise.
    int SizingEdge() const;

signals:
    // A drag of the grip starts; edge as SizingEdge().
    void sizingStarted(int edge);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RebuildRegion();
    void TakeMetrics();
};
