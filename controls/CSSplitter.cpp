// The splitter's layout, bar drag and stored position.
#include "CSSplitter.h"

#include "AppProfile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <algorithm>

namespace {

const QString kVertValue = QStringLiteral("VertSplitPos");
const QString kHorzValue = QStringLiteral("HorizSplitPos");

// The largest pane size taken from the profile; a hand-edited value beyond
// it is no window size.
constexpr int kMaxStoredSize = 32767;

} // namespace

CSSplitter::CSSplitter() : QWidget(nullptr)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

CSSplitter::~CSSplitter()
{
    if (m_drag.active)
        qApp->removeEventFilter(this);
    SavePosition();
}

QString CSSplitter::VertSection(int id)
{
    return QStringLiteral("splt\\init_v") + QString::number(id);
}

QString CSSplitter::HorzSection(int id)
{
    return QStringLiteral("splt\\init_h") + QString::number(id);
}

bool CSSplitter::Create(unsigned style, QWidget* parent, QWidget* first, QWidget* second, int id,
                        const QRect& rect, int firstMin, int secondMin)
{
    if (m_bCreated || !parent || !first || !second || first == second ||
        !(style & (kStyleVertical | kStyleHorizontal)))
        return false;
    setParent(parent);
    setGeometry(rect);
    first->setParent(this);
    second->setParent(this);
    nID = id;
    m_nMinLeft = m_nMinTop = std::max(0, firstMin);
    m_nMinRight = m_nMinBottom = std::max(0, secondMin);

    // The outline is drawn over the panes, so it is a child of its own,
    // kept above them.
    m_pOutline = new QWidget(this);
    m_pOutline->setObjectName(QStringLiteral("splitterOutline"));
    m_pOutline->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pOutline->setAutoFillBackground(true);
    QPalette palette = m_pOutline->palette();
    const QColor face = palette.color(QPalette::Button);
    palette.setColor(QPalette::Window, QColor(255 - face.red(), 255 - face.green(), 255 - face.blue()));
    m_pOutline->setPalette(palette);
    m_pOutline->hide();

    m_bCreated = true;
    if (style & kStyleVertical) {
        m_pLeft = first;
        m_pRight = second;
        SetUpVert();
    } else {
        m_pTop = first;
        m_pBottom = second;
        SetUpHorz();
    }
    first->show();
    second->show();
    setVisible((style & kStyleVisible) != 0);
    return true;
}

void CSSplitter::SetUpVert()
{
    m_bVert = true;
    const int stored = AppProfile::ReadInt(VertSection(nID), kVertValue, 2 * m_nMinLeft);
    // A stored position from another screen layout or a hand-edited profile
    // is laid out within the minimums; the width itself is kept for larger
    // windows, bounded to a sane range.
    m_nSavedLeftWidth = std::clamp(stored, std::max(0, m_nMinLeft - 1), kMaxStoredSize);
    LayoutVert(ClampVert(m_nSavedLeftWidth + 1));
}

void CSSplitter::SetUpHorz()
{
    m_bHorz = true;
    const int stored = AppProfile::ReadInt(HorzSection(nID), kHorzValue, 2 * m_nMinBottom);
    m_nSavedBottomHeight = std::clamp(stored, std::max(0, m_nMinBottom - 1), kMaxStoredSize);
    LayoutHorz(ClampHorz(height() - 1 - m_nSavedBottomHeight));
}

void CSSplitter::LayoutVert(int x)
{
    const int h = height();
    m_rcVertBar = {x - nBarHalf, 0, x + nBarHalf, h};
    m_rcLeft = {0, 0, x - 1, h};
    m_rcRight = {m_rcLeft.right + 3, 0, width(), h};
    PlacePane(m_pLeft, m_rcLeft);
    PlacePane(m_pRight, m_rcRight);
}

void CSSplitter::LayoutHorz(int y)
{
    const int w = width();
    m_rcHorzBar = {0, y - nBarHalf, w, y + nBarHalf};
    m_rcBottom = {0, y + 1, w, height()};
    m_rcTop = {0, 0, w, m_rcBottom.top - 3};
    PlacePane(m_pTop, m_rcTop);
    PlacePane(m_pBottom, m_rcBottom);
}

int CSSplitter::ClampVert(int x) const
{
    // The left minimum wins when both cannot be met.
    x = std::min(x, width() - m_nMinRight);
    return std::max(x, m_nMinLeft);
}

int CSSplitter::ClampHorz(int y) const
{
    y = std::min(y, height() - m_nMinBottom);
    return std::max(y, m_nMinTop);
}

void CSSplitter::PlacePane(QWidget* pane, const EdgeRect& rc)
{
    if (!pane)
        return;
    // An inverted rectangle (a splitter narrower than its minimums) gives a
    // pane of no width, never a negative one.
    pane->setGeometry(rc.ToQRect());
    pane->update();
}

void CSSplitter::HideFirstPane()
{
    if (!m_bVert || m_bFirstHidden || !m_pRight)
        return;
    if (m_drag.active)
        CancelDrag();
    m_bFirstHidden = true;
    m_rcVertBar = {};
    if (m_pLeft)
        m_pLeft->hide();
    m_pRight->setGeometry(rect());
}

void CSSplitter::ShowFirstPane()
{
    if (!m_bVert || !m_bFirstHidden)
        return;
    m_bFirstHidden = false;
    // The width the pane had before it was hidden; laid out within the
    // minimums of the splitter's present size.
    m_nSavedLeftWidth = m_rcLeft.Width();
    LayoutVert(ClampVert(m_rcLeft.right + 1));
    if (m_pLeft)
        m_pLeft->show();
}

bool CSSplitter::SavePosition()
{
    if (!m_bCreated)
        return true;
    bool ok = true;
    if (m_bVert && !m_rcLeft.IsEmpty())
        ok = AppProfile::WriteInt(VertSection(nID), kVertValue, m_rcLeft.right) && ok;
    if (m_bHorz && !m_rcBottom.IsEmpty())
        ok = AppProfile::WriteInt(HorzSection(nID), kHorzValue, m_rcBottom.Height()) && ok;
    return ok;
}

void CSSplitter::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_bCreated)
        return;
    if (m_bVert) {
        if (m_bFirstHidden) {
            if (m_pRight)
                m_pRight->setGeometry(rect());
        } else {
            LayoutVert(ClampVert(m_nSavedLeftWidth + 1));
        }
    } else if (m_bHorz) {
        LayoutHorz(ClampHorz(height() - 1 - m_nSavedBottomHeight));
    }
    if (m_drag.active)
        CancelDrag();
}

void CSSplitter::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !m_drag.active) {
        if (m_bVert && !m_bFirstHidden && m_rcVertBar.ToQRect().contains(pos)) {
            event->accept();
            BeginDrag(true, pos.x());
            return;
        }
        if (m_bHorz && m_rcHorzBar.ToQRect().contains(pos)) {
            event->accept();
            BeginDrag(false, pos.y());
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void CSSplitter::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_drag.active) {
        DragTo(m_drag.vertical ? pos.x() : pos.y());
        event->accept();
        return;
    }
    if (m_bVert && m_rcVertBar.ToQRect().contains(pos))
        setCursor(Qt::SizeHorCursor);
    else if (m_bHorz && m_rcHorzBar.ToQRect().contains(pos))
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

void CSSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_drag.active && event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        EndDrag(m_drag.vertical ? pos.x() : pos.y());
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CSSplitter::focusOutEvent(QFocusEvent* event)
{
    // Another window or widget took the focus: the drag ends as by Esc.
    if (m_drag.active)
        CancelDrag();
    QWidget::focusOutEvent(event);
}

bool CSSplitter::event(QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate && m_drag.active)
        CancelDrag();
    return QWidget::event(event);
}

bool CSSplitter::eventFilter(QObject* watched, QEvent* event)
{
    // Installed on the application while a drag runs, so Esc reaches the
    // splitter before any other widget or shortcut sees it.
    if (m_drag.active) {
        if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                key->accept();
                if (event->type() == QEvent::KeyPress)
                    CancelDrag();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSSplitter::BeginDrag(bool vertical, int pos)
{
    m_drag.active = true;
    m_drag.vertical = vertical;
    m_drag.startPos = pos;
    m_drag.lastPos = pos;
    m_drag.barCentre =
        vertical ? (m_rcVertBar.left + m_rcVertBar.right) / 2 : (m_rcHorzBar.top + m_rcHorzBar.bottom) / 2;
    m_drag.pPrevFocus = QApplication::focusWidget();
    if (!m_bLiveDrag)
        ShowOutline();
    qApp->installEventFilter(this);
    setFocus(Qt::MouseFocusReason);
    setCursor(vertical ? Qt::SizeHorCursor : Qt::SizeVerCursor);
}

void CSSplitter::DragTo(int pos)
{
    const int clamped = m_drag.vertical ? ClampVert(pos) : ClampHorz(pos);
    if (m_bLiveDrag) {
        if (m_drag.vertical) {
            LayoutVert(clamped);
            m_nSavedLeftWidth = m_rcLeft.Width();
        } else {
            LayoutHorz(clamped);
            m_nSavedBottomHeight = m_rcBottom.Height();
        }
        m_drag.lastPos = clamped;
        return;
    }
    m_drag.lastPos = clamped;
    ShowOutline();
}

void CSSplitter::EndDrag(int pos)
{
    const bool vertical = m_drag.vertical;
    const int clamped = vertical ? ClampVert(pos) : ClampHorz(pos);
    HideOutline();
    if (vertical) {
        LayoutVert(clamped);
        m_nSavedLeftWidth = m_rcLeft.Width();
    } else {
        LayoutHorz(clamped);
        m_nSavedBottomHeight = m_rcBottom.Height();
    }
    FinishDrag();
}

void CSSplitter::CancelDrag()
{
    if (!m_drag.active)
        return;
    // The panes stay where they are: in outline mode where they were before
    // the drag, in live mode where the drag left them.
    HideOutline();
    FinishDrag();
}

void CSSplitter::FinishDrag()
{
    m_drag.active = false;
    qApp->removeEventFilter(this);
    // The keyboard goes back to the widget that had it before the drag.
    QPointer<QWidget> previous = m_drag.pPrevFocus;
    m_drag.pPrevFocus = nullptr;
    if (previous && previous != this && previous->window() == window())
        previous->setFocus(Qt::OtherFocusReason);
    else if (hasFocus())
        clearFocus();
}

void CSSplitter::ShowOutline()
{
    if (!m_pOutline)
        return;
    // The stripe at the bar's centre line, moved by the drag so far, as
    // tall (wide) as the splitter.
    const int centre = m_drag.barCentre + (m_drag.lastPos - m_drag.startPos);
    if (m_drag.vertical)
        m_pOutline->setGeometry(centre - 1, 0, 3, height());
    else
        m_pOutline->setGeometry(0, centre - 1, width(), 3);
    m_pOutline->raise();
    m_pOutline->show();
}

void CSSplitter::HideOutline()
{
    if (m_pOutline)
        m_pOutline->hide();
}
