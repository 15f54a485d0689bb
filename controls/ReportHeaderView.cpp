// The file list's header.
#include "ReportHeaderView.h"

#include "ReportListModel.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionHeader>

namespace {

constexpr int kImageSize = 16;
constexpr int kImageGap = 4;

} // namespace

ReportHeaderView::ReportHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void ReportHeaderView::SetImages(const QList<QIcon>& images)
{
    m_images = images;
    viewport()->update();
}

int ReportHeaderView::DividerAt(int x) const
{
    const int visual = visualIndexAt(x);
    if (visual < 0)
        return -1;
    const int logical = logicalIndex(visual);
    const int left = sectionViewportPosition(logical);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    if (x > left + sectionSize(logical) - grip)
        return logical;
    if (x < left + grip) {
        // The divider at a section's left edge belongs to the shown section in front.
        for (int v = visual - 1; v >= 0; --v) {
            const int before = logicalIndex(v);
            if (!isSectionHidden(before))
                return before;
        }
    }
    return -1;
}

void ReportHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    opt.icon = QIcon();
    opt.sortIndicator = QStyleOptionHeader::None;

    int image = -1;
    bool onLeft = false;
    if (m_listModel && m_listModel->IsColumn(logicalIndex)) {
        image = m_listModel->Column(logicalIndex).headerImage;
        onLeft = m_listModel->Column(logicalIndex).imageOnLeft;
    }
    const bool hasImage = image >= 0 && image < m_images.size() && !m_images.at(image).isNull();

    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    QStyleOptionHeader label = opt;
    label.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this);
    QRect imageRect;
    if (hasImage) {
        const int top = rect.top() + (rect.height() - kImageSize) / 2;
        if (onLeft) {
            imageRect = QRect(label.rect.left(), top, kImageSize, kImageSize);
            label.rect.setLeft(imageRect.right() + 1 + kImageGap);
        } else {
            imageRect = QRect(label.rect.right() - kImageSize + 1, top, kImageSize, kImageSize);
            label.rect.setRight(imageRect.left() - 1 - kImageGap);
        }
    }
    if (label.rect.width() > 0)
        style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);
    if (hasImage && imageRect.left() >= rect.left())
        m_images.at(image).paint(painter, imageRect);
    painter->restore();
}

void ReportHeaderView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int x = orientation() == Qt::Horizontal ? event->position().toPoint().x() : 0;
        const int divider = DividerAt(x);
        if (divider >= 0) {
            emit DividerPressed(divider);
            if (isSectionHidden(divider)) {
                event->accept();
                return;
            }
        }
    }
    QHeaderView::mousePressEvent(event);
}

void ReportHeaderView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int divider = DividerAt(event->position().toPoint().x());
        if (divider >= 0) {
            emit DividerDoubleClicked(divider);
            event->accept();
            return;
        }
    }
    QHeaderView::mouseDoubleClickEvent(event);
}

void ReportHeaderView::contextMenuEvent(QContextMenuEvent* event)
{
    // A menu asked from the keyboard carries no point inside the header.
    if (event->reason() != QContextMenuEvent::Mouse) {
        event->ignore();
        return;
    }
    if (viewport()->rect().contains(event->pos()))
        emit MenuRequested(event->pos());
    event->accept();
}
