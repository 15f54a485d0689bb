// Sorting of the file list: the comparison of two rows under the sort keys
// and the quicksort of an array of row indices.
#pragma once

#include "ReportTypes.h"

#include <string_view>
#include <utility>
#include <vector>

class ReportListModel;

// The comparison of one column's values.
int CompareTexts(std::string_view a, std::string_view b);
int CompareRecords(const CAudioFileInfo& a, const CAudioFileInfo& b, int column);

// One partition pass of a[lo..hi] around its middle element: afterwards
// lo..j holds the values before the pivot and i..hi those after it.
template <typename Compare>
std::pair<int, int> PartitionIndices(std::vector<int>& a, int lo, int hi, bool ascending, Compare& compare)
{
    const int pivot = a[static_cast<size_t>((lo + hi) / 2)];
    int i = lo;
    int j = hi;
    do {
        if (ascending) {
            while (compare(a[static_cast<size_t>(i)], pivot) < 0)
                ++i;
            while (compare(a[static_cast<size_t>(j)], pivot) > 0)
                --j;
        } else {
            while (compare(a[static_cast<size_t>(i)], pivot) > 0)
                ++i;
            while (compare(a[static_cast<size_t>(j)], pivot) < 0)
                --j;
        }
        if (i <= j) {
            if (i != j)
                std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    return {i, j};
}

// Sorts a[lo..hi] (not stable) with compare(x, y) -> -1/0/1 in the given
// direction. Each pass partitions around the middle element; the smaller part
// is sorted by recursion and the larger by looping, so the recursion stays
// below log2(n) levels on any input, and since every part is partitioned
// exactly as a left-first recursion would, the resulting order is the same.
// Returns the deepest recursion level reached (1 for a single pass).
template <typename Compare>
int QuickSortIndices(std::vector<int>& a, int lo, int hi, bool ascending, Compare&& compare, int depth = 1)
{
    int deepest = depth;
    while (lo < hi) {
        const auto [i, j] = PartitionIndices(a, lo, hi, ascending, compare);

        // Left part lo..j, right part i..hi.
        if (j - lo < hi - i) {
            if (lo < j)
                deepest = std::max(deepest, QuickSortIndices(a, lo, j, ascending, compare, depth + 1));
            lo = i;
        } else {
            if (i < hi)
                deepest = std::max(deepest, QuickSortIndices(a, i, hi, ascending, compare, depth + 1));
            hi = j;
        }
    }
    return deepest;
}

// The new order of rows first..last under keys: element k is the offset from
// first of the row that goes to first + k. Two rows compare under the primary
// key first: the Track, Size(MB), Frequency, Channel and Bitrate columns
// compare the rows' audio file records (a row without a record counts as all
// zeros); every other column compares the cell texts as UTF-8 bytes, unsigned
// and case-sensitive. A tie goes on to the next key's column; the later keys'
// directions are not applied (the primary direction orders the ties).
// maxDepth, when given, receives the deepest recursion level.
std::vector<int> SortedRowOrder(const ReportListModel& model, int first, int last,
                                const std::vector<ColumnSortInfo>& keys, int* maxDepth = nullptr);

// Step 1 and 2 of a header click on column: the new key list (primary first,
// at most six keys).
std::vector<ColumnSortInfo> KeysAfterHeaderClick(std::vector<ColumnSortInfo> keys, int column);
