// The splitter: two panes side by side (a vertical bar) or one above the
// other (a horizontal bar), a bar the user drags within the pane minimums,
// a first pane that can be hidden, and the bar position kept in the
// application profile.
#pragma once

#include "EdgeRect.h"

#include <QPointer>
#include <QWidget>

class CSSplitter : public QWidget
{
    Q_OBJECT

public:
    // Style bits of Create; the low two select the orientation (vertical
    // wins when both are given).
    static constexpr unsigned kStyleVertical = 0x1;
    static constexpr unsigned kStyleHorizontal = 0x2;
    static constexpr unsigned kStyleVisible = 0x10000000;
    static constexpr unsigned kStyleChild = 0x40000000;

    // Half the bar's hit width; the gap between the panes is 3 pixels.
    static constexpr int nBarHalf = 3;

    CSSplitter();
    ~CSSplitter() override;

    // Makes the splitter a child of parent at rect, takes first and second
    // as its panes and lays them out for the position stored in the profile
    // under id. False when a pane or the parent is missing or no orientation
    // is given.
    bool Create(unsigned style, QWidget* parent, QWidget* first, QWidget* second, int id, const QRect& rect,
                int firstMin, int secondMin);

    // Live drag moves the panes while dragging; otherwise an outline shows
    // where the bar will go.
    void SetLiveDrag(bool on) { m_bLiveDrag = on; }
    bool IsLiveDrag() const { return m_bLiveDrag; }

    // Vertical orientation only.
    void HideFirstPane();
    void ShowFirstPane();
    bool IsFirstPaneShown() const { return !m_bFirstHidden; }

    // Writes the bar position ("VertSplitPos" in "splt\init_v<id>",
    // "HorizSplitPos" in "splt\init_h<id>") from the last layout. True when
    // the profile took it (or there was nothing to write). The owner calls it
    // at close; the destructor writes again as a fallback.
    bool SavePosition();

    static QString VertSection(int id);
    static QString HorzSection(int id);

    bool IsVertical() const { return m_bVert; }
    bool IsHorizontal() const { return m_bHorz; }
    bool IsDragging() const { return m_drag.active; }
    int Id() const { return nID; }
    // The current layout, in splitter coordinates (right and bottom
    // exclusive).
    EdgeRect LeftPaneRect() const { return m_rcLeft; }
    EdgeRect RightPaneRect() const { return m_rcRight; }
    EdgeRect TopPaneRect() const { return m_rcTop; }
    EdgeRect BottomPaneRect() const { return m_rcBottom; }
    EdgeRect VertBarRect() const { return m_rcVertBar; }
    EdgeRect HorzBarRect() const { return m_rcHorzBar; }
    int SavedLeftWidth() const { return m_nSavedLeftWidth; }
    int SavedBottomHeight() const { return m_nSavedBottomHeight; }
    // The drag outline: a 3-pixel stripe above the panes, shown while an
    // outline drag runs.
    const QWidget* Outline() const { return m_pOutline; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct DragState
    {
        bool active = false;
        bool vertical = true;
        int startPos = 0; // mouse coordinate along the drag axis at the press
        int lastPos = 0;  // the same, at the last move (clamped)
        int barCentre = 0;
        QPointer<QWidget> pPrevFocus;
    };

    void SetUpVert();
    void SetUpHorz();
    void LayoutVert(int x);
    void LayoutHorz(int y);
    int ClampVert(int x) const;
    int ClampHorz(int y) const;
    void PlacePane(QWidget* pane, const EdgeRect& rc);

    void BeginDrag(bool vertical, int pos);
    void DragTo(int pos);
    void EndDrag(int pos);
    void CancelDrag();
    void FinishDrag();
    void ShowOutline();
    void HideOutline();

    QPointer<QWidget> m_pLeft, m_pRight, m_pTop, m_pBottom;
    int m_nMinLeft = 0, m_nMinRight = 0, m_nMinTop = 0, m_nMinBottom = 0;
    int nID = 0;
    int m_nSavedLeftWidth = 0;
    int m_nSavedBottomHeight = 0;
    EdgeRect m_rcLeft, m_rcRight, m_rcTop, m_rcBottom, m_rcVertBar, m_rcHorzBar;
    bool m_bVert = false;
    bool m_bHorz = false;
    bool m_bFirstHidden = false;
    bool m_bLiveDrag = false;
    bool m_bCreated = false;
    DragState m_drag;
    QWidget* m_pOutline = nullptr;
};
