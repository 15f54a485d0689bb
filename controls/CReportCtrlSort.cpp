// The file list control: header clicks, sorting and the zebra colours.
#include "AppEvents.h"
#include "AudioFileInfo.h"
#include "CReportCtrl.h"
#include "ReportHeaderView.h"
#include "ReportListBusy.h"
#include "ReportListModel.h"
#include "ReportSort.h"

#include <algorithm>

void CReportCtrl::HeaderClicked(int column)
{
    if (RefuseOffThread("HeaderClicked"))
        return;
    m_aSortKeys = KeysAfterHeaderClick(m_aSortKeys, column);
    CloseEditor(true);
    if (column >= 0 && column < m_header->count() && m_header->sectionsClickable())
        DoSortRange(Caller::User, 0, m_model->StoredRows() - 1, true);
}

void CReportCtrl::SortRange(int first, int last, bool highlightSortColumn)
{
    if (!OnUiThread()) {
        CarryOver([&] { DoSortRange(Caller::Worker, first, last, highlightSortColumn); });
        return;
    }
    DoSortRange(Caller::User, first, last, highlightSortColumn);
}

void CReportCtrl::DoSortRange(Caller caller, int first, int last, bool highlight)
{
    g_bListBusy.store(1, std::memory_order_release);
    setUpdatesEnabled(false);
    if (caller == Caller::User)
        CloseEditor(true);
    if (m_aSortKeys.empty())
        m_aSortKeys.push_back(ColumnSortInfo{0, 1});
    const ColumnSortInfo primary = m_aSortKeys.front();

    const int rows = m_model->StoredRows();
    if (first < last && first >= 0 && last < rows) {
        const std::vector<int> order = SortedRowOrder(*m_model, first, last, m_aSortKeys);
        // A sort the loader drives cancels an edit whose row moves.
        if (IsEditActive() && m_nEditRow >= first && m_nEditRow <= last) {
            const auto it = std::find(order.begin(), order.end(), m_nEditRow - first);
            if (first + static_cast<int>(it - order.begin()) != m_nEditRow)
                CloseEditor(false);
        }
        PermuteRows(first, order);
    }

    PostAppEvent(m_pOwner.data(),
                 new AppEvent(WM_LIST_SORTED, primary.nColumn, primary.bAscending != 0 ? 1 : 0));
    DoRepaintRowColors(highlight);
    g_bListBusy.store(0, std::memory_order_release);
}

void CReportCtrl::RepaintRowColors(bool highlightSortColumn)
{
    if (!OnUiThread()) {
        CarryOver([&] { DoRepaintRowColors(highlightSortColumn); });
        return;
    }
    DoRepaintRowColors(highlightSortColumn);
}

void CReportCtrl::DoRepaintRowColors(bool highlight)
{
    setUpdatesEnabled(false);
    const int sortColumn = m_aSortKeys.empty() ? 0 : m_aSortKeys.front().nColumn;
    const int rows = m_model->StoredRows();
    for (int r = 0; r < rows; ++r) {
        ReportRowInfo& info = *m_model->Row(r).info;
        const bool unusable = info.m_pOwnerData && info.m_pOwnerData->m_bUnusable != 0;
        const bool odd = (r & 1) != 0;
        const COLORREF rowColour = unusable ? kUnusableRowColor : (odd ? kOddRowColor : kEvenRowColor);
        std::fill(info.m_aBackColors.begin(), info.m_aBackColors.end(), rowColour);
        if (!unusable && highlight && sortColumn >= 0 &&
            static_cast<size_t>(sortColumn) < info.m_aBackColors.size())
            info.m_aBackColors[static_cast<size_t>(sortColumn)] =
                odd ? kOddSortColumnColor : kEvenSortColumnColor;
    }
    setUpdatesEnabled(true);
    viewport()->update();
}
