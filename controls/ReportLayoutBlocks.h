// The stored layout of the file list: the "Column" block (shown flag and
// width per column) and the "SortEx" block (the sort keys), as byte blocks of
// little-endian int32 fields, with the checks that make any stored block safe
// to apply.
#pragma once

#include "ReportTypes.h"

#include <QByteArray>
#include <vector>

// One column of the "Column" block.
struct ReportColumnLayout
{
    bool shown = true;
    int width = 0;

    friend bool operator==(const ReportColumnLayout&, const ReportColumnLayout&) = default;
};

// Widths outside this range are replaced by the column's default.
inline constexpr int kMinStoredWidth = 1;
inline constexpr int kMaxStoredWidth = 10000;

// One 8-byte record per column: int32 shown (1 or 0), int32 width.
QByteArray BuildColumnBlock(const std::vector<ReportColumnLayout>& columns);

// Reads a "Column" block for the given default widths (one per column; the
// result has exactly that many entries). Only whole records count; a column
// without a record, or whose width lies outside 1..10,000, takes its default
// width; a nonzero shown field means shown; columns 0 and 1 are always shown.
// An empty block gives every column shown at its default width.
std::vector<ReportColumnLayout> ReadColumnBlock(const QByteArray& block,
                                                const std::vector<int>& defaultWidths);

// One ColumnSortInfo (int32 column, int32 ascending) per key, primary first.
QByteArray BuildSortBlock(const std::vector<ColumnSortInfo>& keys);

// Reads a "SortEx" block for a list of columnCount columns. Only whole
// records count; keys whose column lies outside 0..columnCount-1 and later
// duplicates of a column are dropped; a nonzero direction means ascending
// (stored as 1); at most six keys are kept; when none is left the result is
// the single key {0, ascending}.
std::vector<ColumnSortInfo> ReadSortBlock(const QByteArray& block, int columnCount);

// The default widths of the file list's eighteen columns.
std::vector<int> DefaultListColumnWidths();
