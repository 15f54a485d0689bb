// The file list control: columns, hidden columns kept at the left, fitting
// and scrolling columns into view.
#include "CReportCtrl.h"
#include "ListColumns.h"
#include "ReportHeaderView.h"
#include "ReportListModel.h"

#include <QScrollBar>
#include <algorithm>

namespace {

int FormatOf(ColumnAlign align)
{
    return align == ColumnAlign::Right ? COLFMT_RIGHT : COLFMT_LEFT;
}

} // namespace

int CReportCtrl::AddColumn(int index, const QString& heading, int format, int width, int subItem)
{
    Q_UNUSED(subItem); // a column's cells are addressed by its index
    if (RefuseOffThread("AddColumn") || index < 0 || index > m_model->Columns())
        return -1;
    CloseEditor(true);
    if (index > m_model->Columns())
        return -1;
    if (m_model->InsertColumn(index, heading, format) < 0)
        return -1;
    ReportColumnInfo info;
    info.m_nSavedWidth = width >= 0 ? width : 0;
    m_aColumns.insert(m_aColumns.begin() + index, info);
    for (unsigned& c : m_aEditableColumns) {
        if (c >= static_cast<unsigned>(index))
            ++c;
    }
    if (width >= 0)
        m_header->resizeSection(index, width);

    // A new column never lands in front of the hidden ones.
    const int hidden = static_cast<int>(std::count_if(m_aColumns.begin(), m_aColumns.end(),
                                                      [](const ReportColumnInfo& c) { return !c.m_bShown; }));
    if (hidden > 0 && m_header->visualIndex(index) < hidden) {
        m_bMovingSections = true;
        m_header->moveSection(m_header->visualIndex(index), hidden);
        m_bMovingSections = false;
    }
    return index;
}

bool CReportCtrl::DeleteColumn(int column)
{
    if (RefuseOffThread("DeleteColumn") || !m_model->IsColumn(column))
        return false;
    CloseEditor(true);
    if (!m_model->RemoveColumn(column))
        return false;
    m_aColumns.erase(m_aColumns.begin() + column);
    std::erase(m_aEditableColumns, static_cast<unsigned>(column));
    for (unsigned& c : m_aEditableColumns) {
        if (c > static_cast<unsigned>(column))
            --c;
    }
    return true;
}

void CReportCtrl::InsertListColumns(const std::vector<ReportColumnLayout>& layout)
{
    for (const ListColumnInfo& c : kListColumns) {
        const size_t i = static_cast<size_t>(c.index);
        const int width = i < layout.size() ? layout[i].width : c.width;
        AddColumn(m_model->Columns(), QString::fromLatin1(c.header), FormatOf(c.align), width);
    }
    for (const ListColumnInfo& c : kListColumns) {
        const size_t i = static_cast<size_t>(c.index);
        if (i < layout.size() && !layout[i].shown)
            SetColumnShown(c.index, false);
    }
}

std::vector<ReportColumnLayout> CReportCtrl::ColumnLayout() const
{
    std::vector<ReportColumnLayout> layout;
    for (int c = 0; c < m_model->Columns(); ++c) {
        const bool shown = IsColumnShown(c);
        layout.push_back({shown, shown ? GetColumnWidth(c) : GetHiddenWidth(c)});
    }
    return layout;
}

bool CReportCtrl::SetColumnShown(int column, bool shown)
{
    if (RefuseOffThread("SetColumnShown") || !m_model->IsColumn(column))
        return false;
    CloseEditor(true);
    ReportColumnInfo& info = m_aColumns[static_cast<size_t>(column)];
    // Hiding a hidden column again would lose its saved width.
    if (info.m_bShown == shown)
        return true;

    setUpdatesEnabled(false);
    m_bMovingSections = true;
    if (!shown) {
        info.m_nSavedWidth = m_header->sectionSize(column);
        m_header->moveSection(m_header->visualIndex(column), 0);
        m_header->setSectionHidden(column, true);
        info.m_bShown = false;
    } else {
        m_header->moveSection(m_header->visualIndex(column), m_header->count() - 1);
        m_header->setSectionHidden(column, false);
        info.m_bShown = true;
        m_header->resizeSection(column,
                                info.m_nSavedWidth > 0 ? info.m_nSavedWidth : m_header->defaultSectionSize());
    }
    m_bMovingSections = false;
    setUpdatesEnabled(true);
    viewport()->update();
    return true;
}

bool CReportCtrl::IsColumnShown(int column) const
{
    return m_model->IsColumn(column) && m_aColumns[static_cast<size_t>(column)].m_bShown;
}

int CReportCtrl::GetHiddenWidth(int column) const
{
    return m_model->IsColumn(column) ? m_aColumns[static_cast<size_t>(column)].m_nSavedWidth : 0;
}

int CReportCtrl::GetColumnTotal() const
{
    if (!OnUiThread()) {
        int total = 0;
        CarryOver([&] { total = m_header->count(); });
        return total;
    }
    return m_header->count();
}

int CReportCtrl::GetColumnWidth(int column) const
{
    if (!IsColumnShown(column))
        return 0;
    return m_header->sectionSize(column);
}

bool CReportCtrl::SetColumnWidth(int column, int width)
{
    if (RefuseOffThread("SetColumnWidth") || !IsColumnShown(column) || width < 0)
        return false;
    m_header->resizeSection(column, width);
    return true;
}

void CReportCtrl::FitColumn(int column)
{
    if (RefuseOffThread("FitColumn"))
        return;
    m_model->Announce();
    if (column == -1) {
        for (int c = 0; c < m_model->Columns(); ++c) {
            if (IsColumnShown(c))
                resizeColumnToContents(c);
        }
        return;
    }
    if (IsColumnShown(column))
        resizeColumnToContents(column);
}

void CReportCtrl::ScrollColumnIntoView(int column)
{
    if (RefuseOffThread("ScrollColumnIntoView") || !m_model->IsColumn(column))
        return;
    const int left = m_header->sectionPosition(column);
    const int right = left + m_header->sectionSize(column);
    const int width = viewport()->width();
    QScrollBar* bar = horizontalScrollBar();
    const int pos = bar->value();
    int delta;
    if (right - left <= width && left - pos >= 0) {
        if (right - pos <= width)
            return;
        delta = right - pos - width;
    } else {
        delta = left - pos;
    }
    bar->setValue(pos + delta);
}

void CReportCtrl::OnSectionMoved(int logical, int oldVisual, int newVisual)
{
    Q_UNUSED(oldVisual);
    if (m_bMovingSections)
        return;
    // The end of a header drag by the user.
    CloseEditor(false);
    const int hidden = static_cast<int>(std::count_if(m_aColumns.begin(), m_aColumns.end(),
                                                      [](const ReportColumnInfo& c) { return !c.m_bShown; }));
    if (IsColumnShown(logical) && newVisual < hidden) {
        m_bMovingSections = true;
        m_header->moveSection(newVisual, hidden);
        m_bMovingSections = false;
    }
}
