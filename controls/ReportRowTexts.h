// The cell texts of one list row, kept as UTF-8 in a single block so that a
// list of 100,000 rows of 18 columns stays small and sorts by bytes directly.
#pragma once

#include <QString>
#include <memory>
#include <string_view>

class ReportRowTexts
{
public:
    ReportRowTexts() = default;
    ReportRowTexts(ReportRowTexts&&) noexcept = default;
    ReportRowTexts& operator=(ReportRowTexts&&) noexcept = default;

    // The text of column as UTF-8; empty when never set or out of range.
    std::string_view Get(int column) const;
    QString GetString(int column) const;

    // Sets the text of column in a row of columnCount columns.
    void Set(int column, int columnCount, std::string_view utf8);
    void Set(int column, int columnCount, const QString& text);
    // Sets every text at once (missing ones empty, extra ones dropped).
    void SetAll(const std::string_view* texts, int count, int columnCount);

    // Keeps the block in step with the columns: an empty text enters at
    // column, or the text of column leaves.
    void InsertColumn(int column, int columnCount);
    void RemoveColumn(int column, int columnCount);

    // Bytes held on the heap.
    size_t HeapBytes() const;

private:
    // Layout: uint32 count, uint32 end offset per column, then the bytes.
    int Count() const;
    uint32_t End(int column) const;
    void Rebuild(int columnCount, int skipColumn, int insertColumn, int replaceColumn,
                 std::string_view replacement);

    std::unique_ptr<char[]> m_block; // null: every text empty
};
