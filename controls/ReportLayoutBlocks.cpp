// The stored "Column" and "SortEx" blocks of the file list.
#include "ReportLayoutBlocks.h"

#include "ListColumns.h"

#include <QtEndian>
#include <algorithm>

namespace {

constexpr qsizetype kRecordBytes = 8;

void AppendInt(QByteArray& block, int32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    block.append(bytes, 4);
}

int32_t IntAt(const QByteArray& block, qsizetype offset)
{
    return qFromLittleEndian<int32_t>(block.constData() + offset);
}

} // namespace

QByteArray BuildColumnBlock(const std::vector<ReportColumnLayout>& columns)
{
    QByteArray block;
    block.reserve(static_cast<qsizetype>(columns.size()) * kRecordBytes);
    for (const ReportColumnLayout& c : columns) {
        AppendInt(block, c.shown ? 1 : 0);
        AppendInt(block, c.width);
    }
    return block;
}

std::vector<ReportColumnLayout> ReadColumnBlock(const QByteArray& block,
                                                const std::vector<int>& defaultWidths)
{
    const qsizetype records = block.size() / kRecordBytes;
    std::vector<ReportColumnLayout> columns(defaultWidths.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        ReportColumnLayout& column = columns[c];
        column.width = defaultWidths[c];
        if (static_cast<qsizetype>(c) < records) {
            const qsizetype at = static_cast<qsizetype>(c) * kRecordBytes;
            column.shown = IntAt(block, at) != 0;
            const int32_t width = IntAt(block, at + 4);
            if (width >= kMinStoredWidth && width <= kMaxStoredWidth)
                column.width = width;
        }
        if (c < 2)
            column.shown = true;
    }
    return columns;
}

QByteArray BuildSortBlock(const std::vector<ColumnSortInfo>& keys)
{
    QByteArray block;
    block.reserve(static_cast<qsizetype>(keys.size()) * kRecordBytes);
    for (const ColumnSortInfo& key : keys) {
        AppendInt(block, key.nColumn);
        AppendInt(block, key.bAscending);
    }
    return block;
}

std::vector<ColumnSortInfo> ReadSortBlock(const QByteArray& block, int columnCount)
{
    std::vector<ColumnSortInfo> keys;
    const qsizetype records = block.size() / kRecordBytes;
    for (qsizetype r = 0; r < records && static_cast<int>(keys.size()) < kMaxSortKeys; ++r) {
        const int32_t column = IntAt(block, r * kRecordBytes);
        const int32_t ascending = IntAt(block, r * kRecordBytes + 4);
        if (column < 0 || column >= columnCount)
            continue;
        if (std::any_of(keys.begin(), keys.end(), [&](const auto& k) { return k.nColumn == column; }))
            continue;
        keys.push_back(ColumnSortInfo{column, ascending != 0 ? 1 : 0});
    }
    if (keys.empty())
        keys.push_back(ColumnSortInfo{0, 1});
    return keys;
}

std::vector<int> DefaultListColumnWidths()
{
    std::vector<int> widths;
    for (const ListColumnInfo& c : kListColumns)
        widths.push_back(c.width);
    return widths;
}
