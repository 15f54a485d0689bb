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

namespace {

// The values the comparison reads, gathered once per sort into arrays indexed
// by row, so each comparison touches the texts themselves and nothing else.
class SortTable
{
public:
    SortTable(const ReportListModel& model, int first, int last, const std::vector<ColumnSortInfo>& keys)
        : m_model(model), m_first(first), m_last(last), m_keys(keys), m_texts(keys.size())
    {
        m_records.reserve(static_cast<size_t>(last - first + 1));
        for (int r = first; r <= last; ++r)
            m_records.push_back(&RecordOf(model, r));
    }

    int Compare(int rowA, int rowB)
    {
        for (size_t k = 0; k < m_keys.size(); ++k) {
            const int column = m_keys[k].nColumn;
            int c;
            if (IsNumericColumn(column)) {
                c = CompareRecords(*m_records[static_cast<size_t>(rowA - m_first)],
                                   *m_records[static_cast<size_t>(rowB - m_first)], column);
            } else {
                const std::vector<std::string_view>& texts = TextsOf(k);
                c = CompareTexts(texts[static_cast<size_t>(rowA - m_first)],
                                 texts[static_cast<size_t>(rowB - m_first)]);
            }
            if (c != 0)
                return c;
        }
        return 0;
    }

private:
    // A later key's texts are gathered only when a tie first needs them.
    const std::vector<std::string_view>& TextsOf(size_t key)
    {
        std::vector<std::string_view>& texts = m_texts[key];
        if (texts.empty()) {
            texts.reserve(static_cast<size_t>(m_last - m_first + 1));
            for (int r = m_first; r <= m_last; ++r)
                texts.push_back(m_model.Text(r, m_keys[key].nColumn));
        }
        return texts;
    }

    const ReportListModel& m_model;
    const int m_first;
    const int m_last;
    const std::vector<ColumnSortInfo>& m_keys;
    std::vector<const CAudioFileInfo*> m_records;
    std::vector<std::vector<std::string_view>> m_texts;
};

} // namespace

std::vector<int> SortedRowOrder(const ReportListModel& model, int first, int last,
                                const std::vector<ColumnSortInfo>& keys, int* maxDepth)
{
    std::vector<int> rows(static_cast<size_t>(last - first + 1));
    std::iota(rows.begin(), rows.end(), first);
    const bool ascending = keys.empty() || keys.front().bAscending != 0;
    SortTable table(model, first, last, keys);
    const int depth = QuickSortIndices(rows, 0, static_cast<int>(rows.size()) - 1, ascending,
                                       [&](int a, int b) { return table.Compare(a, b); });
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
