// The resizable dialog: anchors, the size grip, the size limits, the keys
// and close handling of the application's windows, and the placement save.
#include "CResizeDlg.h"

#include "MessageBox.h"

#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindowStateChangeEvent>

namespace {

// Which edge of an axis a resize uses: none, the left (top) or the right
// (bottom) one.
enum EdgeChoice : int
{
    kNoEdge = 0,
    kLowEdge = 1,
    kHighEdge = 2,
};

} // namespace

void CResizeDlg::SetControlId(QWidget* control, int id)
{
    if (control)
        control->setProperty(ControlIdProperty(), id);
}

CResizeDlg::CResizeDlg(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags), m_grip(this)
{
    connect(&m_grip, &CSizeGripExt::sizingStarted, this, &CResizeDlg::OnSizing);
}

CResizeDlg::~CResizeDlg()
{
    // Fallback for owners that did not save at close.
    if (!m_bPlacementSaved && !m_strPlacementKey.isEmpty()) {
        m_bPlacementSaved = true;
        if (!m_placement.SavePlacement(this, m_strPlacementKey) && QApplication::instance())
            MessageBox::Show(nullptr, QStringLiteral("Fail to Save!"));
    }
}

void CResizeDlg::InitResizing()
{
    m_sizeInitialClient = size();
    m_sizePreviousClient = size();
    m_bInitialised = true;
    TurnOffAutoDefault();
    ApplyTrackingLimits();
    PlaceGrip();
}

bool CResizeDlg::AddAnchor(QWidget* control, int nLeftHorz, int nRightHorz, int nTopVert, int nBottomVert,
                           int nExtra, double dHorzRatio, double dHorzSizeRatio, double dVertRatio,
                           double dVertSizeRatio)
{
    if (!control || control == this || !isAncestorOf(control))
        return false;
    if (!m_bInitialised)
        InitResizing();

    ResizeAnchor anchor;
    anchor.pWnd = control;
    anchor.nID = control->property(ControlIdProperty()).toInt();
    anchor.nLeftHorz = unsigned(nLeftHorz) & 0xFu;
    anchor.nRightHorz = unsigned(nRightHorz) & 0xFu;
    anchor.nTopVert = unsigned(nTopVert) & 0xFu;
    anchor.nBottomVert = unsigned(nBottomVert) & 0xFu;
    anchor.bExcludeErase = (nExtra & ANCHOR_EXCLUDE_ERASE) ? 1u : 0u;
    anchor.bRepaint = (nExtra & ANCHOR_REPAINT) ? 1u : 0u;
    anchor.rc = ControlRect(control);
    anchor.dHorzRatio = dHorzRatio;
    anchor.dHorzSizeRatio = dHorzSizeRatio;
    anchor.dVertRatio = dVertRatio;
    anchor.dVertSizeRatio = dVertSizeRatio;
    // Centring and scaling keep the control's centre at its share of the
    // client size. Without a client size yet the share is taken later.
    if (anchor.UsesHorz(ANCHOR_CENTER) || anchor.UsesHorz(ANCHOR_SCALE)) {
        if (width() > 0)
            anchor.dHorzRatio = (anchor.rc.left + anchor.rc.right) * 0.5 / width();
        else
            anchor.bHorzRatioPending = true;
    }
    if (anchor.UsesVert(ANCHOR_CENTER) || anchor.UsesVert(ANCHOR_SCALE)) {
        if (height() > 0)
            anchor.dVertRatio = (anchor.rc.top + anchor.rc.bottom) * 0.5 / height();
        else
            anchor.bVertRatioPending = true;
    }
    SetExcludeFromErase(anchor);

    for (ResizeAnchor& existing : m_aAnchors) {
        if (existing.pWnd == control) {
            existing = anchor;
            return true;
        }
    }
    m_aAnchors.push_back(anchor);
    return true;
}

bool CResizeDlg::AddAnchor(int nID, int nLeftHorz, int nRightHorz, int nTopVert, int nBottomVert, int nExtra,
                           double dHorzRatio, double dHorzSizeRatio, double dVertRatio, double dVertSizeRatio)
{
    const QList<QWidget*> children = findChildren<QWidget*>();
    for (QWidget* child : children) {
        const QVariant id = child->property(ControlIdProperty());
        if (id.isValid() && id.toInt() == nID)
            return AddAnchor(child, nLeftHorz, nRightHorz, nTopVert, nBottomVert, nExtra, dHorzRatio,
                             dHorzSizeRatio, dVertRatio, dVertSizeRatio);
    }
    return false;
}

void CResizeDlg::SetMinTrackSize(const QSize& size)
{
    m_sizeMinTrack = size;
    ApplyTrackingLimits();
}

void CResizeDlg::SetResizable(bool bWidth, bool bHeight)
{
    m_bWidthResizable = bWidth;
    m_bHeightResizable = bHeight;
    ApplyTrackingLimits();
}

void CResizeDlg::OnSizing(int edge)
{
    m_nLastSizingEdge = edge;
}

bool CResizeDlg::SaveWindowPlacement()
{
    if (m_strPlacementKey.isEmpty())
        return true;
    m_bPlacementSaved = true;
    if (m_placement.SavePlacement(this, m_strPlacementKey))
        return true;
    MessageBox::Show(isVisible() ? this : nullptr, QStringLiteral("Fail to Save!"));
    return false;
}

bool CResizeDlg::LoadWindowPlacement()
{
    if (m_strPlacementKey.isEmpty())
        return false;
    return m_placement.LoadPlacement(this, m_strPlacementKey);
}

void CResizeDlg::OnClose()
{
    done(QDialog::Rejected);
}

void CResizeDlg::done(int result)
{
    m_bEnding = true;
    QDialog::done(result);
    m_bEnding = false;
}

void CResizeDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!m_bInitialised) {
        PlaceGrip();
        return;
    }
    const QSize client = size();
    if (!m_aAnchors.empty()) {
        // A minimised window keeps its controls as they are.
        if (windowState() & Qt::WindowMinimized)
            return;
        const bool restoreOrMaximise = m_bStateResizePending || (windowState() & Qt::WindowMaximized);
        MoveAnchors(SelectEdges(restoreOrMaximise), client);
    }
    m_sizePreviousClient = client;
    m_nLastSizingEdge = 0;
    m_bStateResizePending = false;
    PlaceGrip();
}

void CResizeDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const int oldState = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const int newState = windowState();
    m_placement.NoteWindowState(oldState, newState);
    if (!(newState & Qt::WindowMinimized) &&
        ((oldState & (Qt::WindowMinimized | Qt::WindowMaximized)) || (newState & Qt::WindowMaximized)))
        m_bStateResizePending = true;
    PlaceGrip();
}

void CResizeDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised)
        InitResizing();
    m_bPlacementSaved = false;
    TurnOffAutoDefault();
    PlaceGrip();
    QDialog::showEvent(event);
}

void CResizeDlg::keyPressEvent(QKeyEvent* event)
{
    // Esc would reject the dialog and Enter press its default button; the
    // application's windows close only through their own close handling.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::NoModifier) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void CResizeDlg::closeEvent(QCloseEvent* event)
{
    if (m_bEnding) {
        event->accept();
        return;
    }
    event->ignore();
    OnClose();
}

bool CResizeDlg::event(QEvent* event)
{
    if (event->type() == QEvent::ChildPolished) {
        if (auto* button = qobject_cast<QPushButton*>(static_cast<QChildEvent*>(event)->child())) {
            button->setAutoDefault(false);
            button->setDefault(false);
        }
    }
    return QDialog::event(event);
}

CResizeDlg::AxisSelection CResizeDlg::SelectEdges(bool restoreOrMaximise) const
{
    // A resize whose edge the window system did not report counts as one of
    // the bottom-right corner, which is also what a restore uses.
    const int edge = restoreOrMaximise || m_nLastSizingEdge == 0 ? WMSZ_BOTTOMRIGHT : m_nLastSizingEdge;
    AxisSelection selection{kNoEdge, kNoEdge};
    switch (edge) {
    case WMSZ_LEFT:
        selection.horz = kLowEdge;
        break;
    case WMSZ_RIGHT:
        selection.horz = kHighEdge;
        break;
    case WMSZ_TOP:
        selection.vert = kLowEdge;
        break;
    case WMSZ_TOPLEFT:
        selection = {kLowEdge, kLowEdge};
        break;
    case WMSZ_TOPRIGHT:
        selection = {kHighEdge, kLowEdge};
        break;
    case WMSZ_BOTTOM:
        selection.vert = kHighEdge;
        break;
    case WMSZ_BOTTOMLEFT:
        selection = {kLowEdge, kHighEdge};
        break;
    case WMSZ_BOTTOMRIGHT:
        selection = {kHighEdge, kHighEdge};
        break;
    default:
        break;
    }
    return selection;
}

void CResizeDlg::TakePendingSizes(const QSize& client, bool& horzBaseline, bool& vertBaseline)
{
    // A dialog initialised without an area takes its first real size as the
    // initial one; its anchors keep their place on that resize.
    horzBaseline = m_sizeInitialClient.width() <= 0 && client.width() > 0;
    vertBaseline = m_sizeInitialClient.height() <= 0 && client.height() > 0;
    if (horzBaseline)
        m_sizeInitialClient.setWidth(client.width());
    if (vertBaseline)
        m_sizeInitialClient.setHeight(client.height());
    for (ResizeAnchor& anchor : m_aAnchors) {
        if (anchor.bHorzRatioPending && client.width() > 0) {
            anchor.dHorzRatio = (anchor.rc.left + anchor.rc.right) * 0.5 / client.width();
            anchor.bHorzRatioPending = false;
        }
        if (anchor.bVertRatioPending && client.height() > 0) {
            anchor.dVertRatio = (anchor.rc.top + anchor.rc.bottom) * 0.5 / client.height();
            anchor.bVertRatioPending = false;
        }
    }
}

void CResizeDlg::MoveAnchors(const AxisSelection& edges, const QSize& client)
{
    bool horzBaseline = false;
    bool vertBaseline = false;
    TakePendingSizes(client, horzBaseline, vertBaseline);

    for (ResizeAnchor& anchor : m_aAnchors) {
        QWidget* control = anchor.pWnd;
        if (!control)
            continue;
        const EdgeRect actual = ControlRect(control);

        AnchorAxis horz;
        horz.mode = horzBaseline              ? -1
                    : edges.horz == kLowEdge  ? int(anchor.nLeftHorz)
                    : edges.horz == kHighEdge ? int(anchor.nRightHorz)
                                              : ANCHOR_NONE;
        horz.scaleOrRatio = anchor.UsesHorz(ANCHOR_SCALE) || anchor.UsesHorz(ANCHOR_RATIO);
        horz.actualLo = actual.left;
        horz.actualHi = actual.right;
        horz.rcLo = anchor.rc.left;
        horz.rcHi = anchor.rc.right;
        horz.newLength = client.width();
        horz.initialLength = m_sizeInitialClient.width();
        horz.delta = client.width() - m_sizePreviousClient.width();
        horz.ratio = anchor.dHorzRatio;
        horz.sizeRatio = anchor.dHorzSizeRatio;
        horz.ratioPending = anchor.bHorzRatioPending;

        AnchorAxis vert;
        vert.mode = vertBaseline              ? -1
                    : edges.vert == kLowEdge  ? int(anchor.nTopVert)
                    : edges.vert == kHighEdge ? int(anchor.nBottomVert)
                                              : ANCHOR_NONE;
        vert.scaleOrRatio = anchor.UsesVert(ANCHOR_SCALE) || anchor.UsesVert(ANCHOR_RATIO);
        vert.actualLo = actual.top;
        vert.actualHi = actual.bottom;
        vert.rcLo = anchor.rc.top;
        vert.rcHi = anchor.rc.bottom;
        vert.newLength = client.height();
        vert.initialLength = m_sizeInitialClient.height();
        vert.delta = client.height() - m_sizePreviousClient.height();
        vert.ratio = anchor.dVertRatio;
        vert.sizeRatio = anchor.dVertSizeRatio;
        vert.ratioPending = anchor.bVertRatioPending;

        const AnchorSpan h = ComputeAnchorSpan(horz);
        const AnchorSpan v = ComputeAnchorSpan(vert);
        EdgeRect comparison = actual;
        if (h.stores) {
            comparison.left = anchor.rc.left;
            comparison.right = anchor.rc.right;
        }
        if (v.stores) {
            comparison.top = anchor.rc.top;
            comparison.bottom = anchor.rc.bottom;
        }
        const EdgeRect target{h.lo, v.lo, h.hi, v.hi};
        if (target == comparison)
            continue;
        if (anchor.bRepaint)
            control->update();
        PlaceControl(control, target);
        if (anchor.bRepaint)
            update(comparison.ToQRect());
        if (h.stores) {
            anchor.rc.left = h.lo;
            anchor.rc.right = h.hi;
        }
        if (v.stores) {
            anchor.rc.top = v.lo;
            anchor.rc.bottom = v.hi;
        }
    }
}

void CResizeDlg::PlaceGrip()
{
    m_grip.PlaceInCorner(rect());
    m_grip.setVisible(!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)));
}

void CResizeDlg::ApplyTrackingLimits()
{
    if (m_sizeMinTrack.width() > 0 || m_sizeMinTrack.height() > 0)
        setMinimumSize(m_sizeMinTrack);
    // A fixed axis is pinned to the minimum; without a minimum, to the
    // size it has (a window of no width is no use).
    if (m_bWidthResizable)
        setMaximumWidth(QWIDGETSIZE_MAX);
    else
        setMaximumWidth(m_sizeMinTrack.width() > 0 ? m_sizeMinTrack.width() : width());
    if (m_bHeightResizable)
        setMaximumHeight(QWIDGETSIZE_MAX);
    else
        setMaximumHeight(m_sizeMinTrack.height() > 0 ? m_sizeMinTrack.height() : height());
}

void CResizeDlg::TurnOffAutoDefault()
{
    const QList<QPushButton*> buttons = findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        // Buttons of other windows parented to this one (message boxes) keep
        // their own keys.
        if (button->window() != this)
            continue;
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void CResizeDlg::SetExcludeFromErase(ResizeAnchor& anchor)
{
    // The dialog never paints beneath an opaque child; a control that is
    // left out of the erase fills its own background.
    if (anchor.bExcludeErase && anchor.pWnd)
        anchor.pWnd->setAutoFillBackground(true);
}

EdgeRect CResizeDlg::ControlRect(const QWidget* control) const
{
    return EdgeRect::FromQRect(QRect(control->mapTo(this, QPoint(0, 0)), control->size()));
}

void CResizeDlg::PlaceControl(QWidget* control, const EdgeRect& rc)
{
    QWidget* parent = control->parentWidget();
    const QPoint topLeft =
        parent == this ? QPoint(rc.left, rc.top) : parent->mapFrom(this, QPoint(rc.left, rc.top));
    control->setGeometry(QRect(topLeft, rc.ToQRect().size()));
}
