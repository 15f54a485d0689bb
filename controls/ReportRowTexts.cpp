// Cell texts of one row in one UTF-8 block.
#include "ReportRowTexts.h"

#include <cstring>
#include <vector>

namespace {

uint32_t ReadWord(const char* at)
{
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void WriteWord(char* at, uint32_t value)
{
    std::memcpy(at, &value, sizeof value);
}

std::unique_ptr<char[]> MakeBlock(const std::vector<std::string_view>& texts)
{
    const size_t count = texts.size();
    size_t bytes = 0;
    bool allEmpty = true;
    for (const auto& t : texts) {
        bytes += t.size();
        allEmpty = allEmpty && t.empty();
    }
    if (count == 0 || allEmpty)
        return nullptr;
    const size_t header = sizeof(uint32_t) * (count + 1);
    auto block = std::make_unique_for_overwrite<char[]>(header + bytes);
    WriteWord(block.get(), static_cast<uint32_t>(count));
    uint32_t end = 0;
    char* out = block.get() + header;
    for (size_t c = 0; c < count; ++c) {
        if (!texts[c].empty())
            std::memcpy(out + end, texts[c].data(), texts[c].size());
        end += static_cast<uint32_t>(texts[c].size());
        WriteWord(block.get() + sizeof(uint32_t) * (c + 1), end);
    }
    return block;
}

} // namespace

int ReportRowTexts::Count() const
{
    return m_block ? static_cast<int>(ReadWord(m_block.get())) : 0;
}

uint32_t ReportRowTexts::End(int column) const
{
    return ReadWord(m_block.get() + sizeof(uint32_t) * (column + 1));
}

std::string_view ReportRowTexts::Get(int column) const
{
    if (column < 0 || column >= Count())
        return {};
    const uint32_t begin = column == 0 ? 0 : End(column - 1);
    const uint32_t end = End(column);
    const char* bytes = m_block.get() + sizeof(uint32_t) * (Count() + 1);
    return std::string_view(bytes + begin, end - begin);
}

QString ReportRowTexts::GetString(int column) const
{
    const std::string_view text = Get(column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ReportRowTexts::Rebuild(int columnCount, int skipColumn, int insertColumn, int replaceColumn,
                             std::string_view replacement)
{
    // The old texts are read from the old block while the new one is made.
    std::vector<std::string_view> texts;
    texts.reserve(static_cast<size_t>(columnCount));
    const int oldCount = Count();
    int source = 0;
    for (int c = 0; c < columnCount; ++c) {
        if (c == insertColumn) {
            texts.emplace_back();
            continue;
        }
        if (source == skipColumn)
            ++source;
        texts.push_back(c == replaceColumn ? replacement
                                           : (source < oldCount ? Get(source) : std::string_view()));
        ++source;
    }
    m_block = MakeBlock(texts);
}

void ReportRowTexts::Set(int column, int columnCount, std::string_view utf8)
{
    if (column < 0 || column >= columnCount)
        return;
    if (!m_block && utf8.empty())
        return;
    Rebuild(columnCount, -1, -1, column, utf8);
}

void ReportRowTexts::Set(int column, int columnCount, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    Set(column, columnCount, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void ReportRowTexts::SetAll(const std::string_view* texts, int count, int columnCount)
{
    std::vector<std::string_view> all(static_cast<size_t>(columnCount > 0 ? columnCount : 0));
    for (int c = 0; c < count && c < columnCount; ++c)
        all[static_cast<size_t>(c)] = texts[c];
    m_block = MakeBlock(all);
}

void ReportRowTexts::InsertColumn(int column, int columnCount)
{
    if (m_block)
        Rebuild(columnCount, -1, column, -1, {});
}

void ReportRowTexts::RemoveColumn(int column, int columnCount)
{
    if (m_block)
        Rebuild(columnCount, column, -1, -1, {});
}

size_t ReportRowTexts::HeapBytes() const
{
    if (!m_block)
        return 0;
    const int count = Count();
    return sizeof(uint32_t) * (static_cast<size_t>(count) + 1) + (count > 0 ? End(count - 1) : 0);
}
