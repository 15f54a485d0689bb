// The header of the file list: per-column header images (the sort arrows)
// on either side of the heading, divider presses and double clicks reported
// to the list, and context menus reported only when they come from the mouse.
#pragma once

#include <QHeaderView>
#include <QIcon>
#include <QList>

class ReportListModel;

class ReportHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    explicit ReportHeaderView(QWidget* parent = nullptr);

    void SetListModel(const ReportListModel* model) { m_listModel = model; }
    void SetImages(const QList<QIcon>& images);
    const QList<QIcon>& Images() const { return m_images; }
    bool HasImages() const { return !m_images.isEmpty(); }
    void RepaintSection(int logical) { updateSection(logical); }

    // The logical section whose right divider lies at x (viewport
    // coordinates), or -1. Hidden sections have no divider.
    int DividerAt(int x) const;

signals:
    // A press on the divider of section: a width drag may start.
    void DividerPressed(int section);
    // A double click on the divider of section.
    void DividerDoubleClicked(int section);
    // A context menu asked with the mouse at pos (header coordinates).
    void MenuRequested(const QPoint& pos);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const ReportListModel* m_listModel = nullptr;
    QList<QIcon> m_images;
};
