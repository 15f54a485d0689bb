// Sorting of the file list.
#include "ReportSort.h"

#include "AudioFileInfo.h"
#include "ListColumns.h"
#include "ReportListModel.h"

#include <algorithm>
#include <numeric>

namespace {

template <typename T> int Order(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

const CAudioFileInfo& RecordOf(const ReportListModel& model, int row)
{
    static const CAudioFileInfo kNoRecord{};
    const CAudioFileInfo* data = model.Row(row).info->m_pOwnerData;
    return data ? *data : kNoRecord;
}

} // namespace

int CompareTexts(std::string_view a, std::string_view b)
{
    // char_traits<char> compares as unsigned char, like memcmp.
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareRecords(const CAudioFileInfo& a, const CAudioFileInfo& b, int column)
{
    switch (column) {
    case COL_TRACK: {
        const int c = Order(a.m_nTrack, b.m_nTrack);
        return c != 0 ? c : Order(a.m_nTrackTotal, b.m_nTrackTotal);
    }
    case COL_SIZE:
        return Order(a.m_dSizeMB, b.m_dSizeMB);
    case COL_FREQUENCY:
        return Order(a.m_nSampleRate, b.m_nSampleRate);
    case COL_CHANNEL:
        return Order(a.m_nChannels, b.m_nChannels);
    case COL_BITRATE:
        return Order(static_cast<uint32_t>(a.m_nBitrate), static_cast<uint32_t>(b.m_nBitrate));
    default:
        return 0;
    }
}

int CompareRows(const ReportListModel& model, int rowA, int rowB, const std::vector<ColumnSortInfo>& keys)
{
    for (const ColumnSortInfo& key : keys) {
        const int column = key.nColumn;
        int c;
        if (IsNumericColumn(column))
            c = CompareRecords(RecordOf(model, rowA), RecordOf(model, rowB), column);
        else
            c = CompareTexts(model.Text(rowA, column), model.Text(rowB, column));
        if (c != 0)
            return c;
    }
    return 0;
}

std::vector<int> SortedRowOrder(const ReportListModel& model, int first, int last,
                                const std::vector<ColumnSortInfo>& keys, int* maxDepth)
{
    std::vector<int> rows(static_cast<size_t>(last - first + 1));
    std::iota(rows.begin(), rows.end(), first);
    const bool ascending = keys.empty() || keys.front().bAscending != 0;
    const int depth = QuickSortIndices(rows, 0, static_cast<int>(rows.size()) - 1, ascending,
                                       [&](int a, int b) { return CompareRows(model, a, b, keys); });
    if (maxDepth)
        *maxDepth = depth;
    for (int& row : rows)
        row -= first;
    return rows;
}

std::vector<ColumnSortInfo> KeysAfterHeaderClick(std::vector<ColumnSortInfo> keys, int column)
{
    bool ascending = true;
    const auto found =
        std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.nColumn == column; });
    if (found != keys.end()) {
        ascending = found == keys.begin() ? found->bAscending == 0 : found->bAscending != 0;
        keys.erase(found);
    }
    keys.insert(keys.begin(), ColumnSortInfo{column, ascending ? 1 : 0});
    if (static_cast<int>(keys.size()) > kMaxSortKeys)
        keys.resize(kMaxSortKeys);
    return keys;
}
