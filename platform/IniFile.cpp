// Private-profile INI files. The file is kept as a list of raw lines (each
// with its own line end), so a write changes or inserts exactly one line and
// every other byte of the file stays as it was.
#include "IniFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace IniFile {
namespace {

// A settings file larger than this is not a settings file; it is neither read
// nor rewritten.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

enum class LineKind
{
    Other,
    Comment,
    Section,
    Key
};

struct Line
{
    QByteArray text; // without its line end
    QByteArray end;  // "\n", "\r\n", "\r" or empty for a last line without one
    LineKind kind = LineKind::Other;
    QString name;      // section or key name, trimmed
    qsizetype eq = -1; // position of '=' in text for a key line
};

struct Document
{
    QByteArray bom;
    std::vector<Line> lines;
    QByteArray newline = "\n"; // the style of the file's first line end
    bool utf16 = false;        // a UTF-16 file: read as having no keys, never rewritten
};

enum class LoadResult
{
    Loaded,
    Missing,
    Failed
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray TrimBlanks(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && IsBlank(bytes.at(begin))) {
        ++begin;
    }
    while (end > begin && IsBlank(bytes.at(end - 1))) {
        --end;
    }
    return bytes.mid(begin, end - begin);
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text.at(begin) == u' ' || text.at(begin) == u'\t')) {
        ++begin;
    }
    while (end > begin && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\t')) {
        --end;
    }
    return text.mid(begin, end - begin);
}

void Classify(Line& line)
{
    const QByteArray trimmed = TrimBlanks(line.text);
    if (trimmed.startsWith('[')) {
        const qsizetype close = trimmed.lastIndexOf(']');
        if (close > 0) {
            line.kind = LineKind::Section;
            line.name = TrimBlanks(QString::fromUtf8(trimmed.mid(1, close - 1)));
        }
        return;
    }
    if (trimmed.startsWith(';') || trimmed.startsWith('#')) {
        line.kind = LineKind::Comment;
        return;
    }
    const qsizetype eq = line.text.indexOf('=');
    if (eq < 0) {
        return;
    }
    const QByteArray key = TrimBlanks(line.text.left(eq));
    if (key.isEmpty()) {
        return;
    }
    line.kind = LineKind::Key;
    line.name = QString::fromUtf8(key);
    line.eq = eq;
}

// Splits at "\r\n", "\n" and a lone "\r".
void SplitLines(const QByteArray& content, Document& doc)
{
    bool styleTaken = false;
    qsizetype pos = 0;
    const qsizetype size = content.size();
    while (pos < size) {
        qsizetype stop = pos;
        while (stop < size && content.at(stop) != '\n' && content.at(stop) != '\r') {
            ++stop;
        }
        Line line;
        line.text = content.mid(pos, stop - pos);
        if (stop < size) {
            const bool crlf = content.at(stop) == '\r' && stop + 1 < size && content.at(stop + 1) == '\n';
            line.end = content.mid(stop, crlf ? 2 : 1);
            if (!styleTaken) {
                doc.newline = line.end;
                styleTaken = true;
            }
        }
        pos = stop + line.end.size();
        Classify(line);
        doc.lines.push_back(std::move(line));
    }
}

// Reads the whole file. Only a file that does not exist counts as missing;
// anything else that keeps it from being read is a failure.
LoadResult ReadAll(const QString& path, QByteArray& content)
{
    // O_NONBLOCK keeps a named pipe from blocking the open; it is refused below.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) {
        ::close(fd);
        return LoadResult::Failed;
    }
    content.clear();
    content.reserve(static_cast<qsizetype>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || content.size() + got > kMaxFileBytes) {
            ::close(fd);
            return LoadResult::Failed;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, got);
    }
    ::close(fd);
    return LoadResult::Loaded;
}

LoadResult Load(const QString& path, Document& doc)
{
    QByteArray content;
    const LoadResult result = ReadAll(path, content);
    if (result != LoadResult::Loaded) {
        return result;
    }
    if (content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF")) {
        doc.utf16 = true;
        return LoadResult::Loaded;
    }
    if (content.startsWith(kUtf8Bom)) {
        doc.bom = kUtf8Bom;
        content.remove(0, kUtf8Bom.size());
    }
    SplitLines(content, doc);
    return LoadResult::Loaded;
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first key line for [section] key, or -1. Sections of the same
// name that occur more than once are taken together, in file order.
qsizetype FindKey(const Document& doc, const QString& section, const QString& key)
{
    bool inSection = false;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        if (line.kind == LineKind::Section) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && SameName(line.name, key)) {
            return static_cast<qsizetype>(i);
        }
    }
    return -1;
}

// The line after which a new key of the section goes: its last key line, or
// its header when it has none. -1 when the section does not exist.
qsizetype FindInsertPoint(const Document& doc, const QString& section)
{
    qsizetype header = -1;
    qsizetype lastKey = -1;
    bool inSection = false;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        if (line.kind == LineKind::Section) {
            if (inSection) {
                break; // only the first section of that name grows
            }
            inSection = SameName(line.name, section);
            if (inSection) {
                header = static_cast<qsizetype>(i);
            }
        } else if (inSection && line.kind == LineKind::Key) {
            lastKey = static_cast<qsizetype>(i);
        }
    }
    return lastKey >= 0 ? lastKey : header;
}

QString CutValue(QString value, int maxChars)
{
    const qsizetype limit = maxChars < 0 ? 0 : maxChars;
    if (value.size() > limit) {
        qsizetype cut = limit;
        // Never leave half of a surrogate pair.
        if (cut > 0 && value.at(cut - 1).isHighSurrogate()) {
            --cut;
        }
        value.truncate(cut);
    }
    return value;
}

bool HasLineBreakOrNul(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0'));
}

// A key that would read back as something else (a section, a comment, or a
// shorter key) cannot be written.
bool IsWritableKey(const QString& key)
{
    return !key.isEmpty() && !key.contains(u'=') && !key.startsWith(u'[') && !key.startsWith(u';') &&
           !key.startsWith(u'#');
}

// An existing file whose mode gives no write permission is refused, also when
// the process could write it anyway (root).
bool IsWritableFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return true;
    }
    const QFile::Permissions perms = info.permissions();
    if (!info.isWritable()) {
        return false;
    }
    if (info.ownerId() == ::geteuid() && !(perms & QFileDevice::WriteOwner)) {
        return false;
    }
    return (perms & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)) != 0;
}

void EnsureLineEnd(Line& line, const QByteArray& newline)
{
    if (line.end.isEmpty()) {
        line.end = newline;
    }
}

void SetValue(Document& doc, const QString& section, const QString& key, const QString& value)
{
    const QByteArray valueBytes = value.toUtf8();
    const qsizetype existing = FindKey(doc, section, key);
    if (existing >= 0) {
        // Keep the key as spelled in the file and the blanks after '='.
        Line& line = doc.lines[static_cast<size_t>(existing)];
        qsizetype start = line.eq + 1;
        while (start < line.text.size() && IsBlank(line.text.at(start))) {
            ++start;
        }
        line.text = line.text.left(start) + valueBytes;
        return;
    }

    Line keyLine;
    keyLine.text = key.toUtf8() + '=' + valueBytes;
    keyLine.end = doc.newline;
    keyLine.kind = LineKind::Key;
    keyLine.name = key;

    const qsizetype after = FindInsertPoint(doc, section);
    if (after >= 0) {
        EnsureLineEnd(doc.lines[static_cast<size_t>(after)], doc.newline);
        doc.lines.insert(doc.lines.begin() + after + 1, std::move(keyLine));
        return;
    }

    // A new section at the end, set off from the text before it by a blank line.
    if (!doc.lines.empty()) {
        EnsureLineEnd(doc.lines.back(), doc.newline);
        if (!TrimBlanks(doc.lines.back().text).isEmpty()) {
            Line blank;
            blank.end = doc.newline;
            doc.lines.push_back(std::move(blank));
        }
    }
    Line header;
    header.text = '[' + section.toUtf8() + ']';
    header.end = doc.newline;
    header.kind = LineKind::Section;
    header.name = section;
    doc.lines.push_back(std::move(header));
    doc.lines.push_back(std::move(keyLine));
}

QByteArray Serialize(const Document& doc)
{
    QByteArray out = doc.bom;
    for (const Line& line : doc.lines) {
        out += line.text;
        out += line.end;
    }
    return out;
}

// Writes within the process are serialised, so two threads updating the same
// file never lose each other's key.
std::mutex s_writeMutex;

} // namespace

QString ReadString(const QString& section, const QString& key, const QString& defaultValue,
                   const QString& path, int maxChars)
{
    const QString wantedSection = TrimBlanks(section);
    const QString wantedKey = TrimBlanks(key);
    Document doc;
    if (wantedSection.isEmpty() || wantedKey.isEmpty() || Load(path, doc) != LoadResult::Loaded) {
        return CutValue(defaultValue, maxChars);
    }
    const qsizetype index = FindKey(doc, wantedSection, wantedKey);
    if (index < 0) {
        return CutValue(defaultValue, maxChars);
    }
    const Line& line = doc.lines[static_cast<size_t>(index)];
    QByteArray value = line.text.mid(line.eq + 1);
    // A value ends at a NUL byte, as a C string would.
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0) {
        value.truncate(nul);
    }
    return CutValue(QString::fromUtf8(TrimBlanks(value)), maxChars);
}

bool WriteString(const QString& section, const QString& key, const QString& value, const QString& path)
{
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    const QString wantedSection = TrimBlanks(section);
    const QString wantedKey = TrimBlanks(key);
    if (wantedSection.isEmpty() || !IsWritableKey(wantedKey)) {
        return false;
    }

    const std::lock_guard<std::mutex> lock(s_writeMutex);
    Document doc;
    const LoadResult loaded = Load(path, doc);
    if (loaded == LoadResult::Failed) {
        return false;
    }
    if (loaded == LoadResult::Loaded && (doc.utf16 || !IsWritableFile(path))) {
        return false;
    }
    const QByteArray before = Serialize(doc);
    SetValue(doc, wantedSection, wantedKey, value);
    const QByteArray after = Serialize(doc);
    if (loaded == LoadResult::Loaded && after == before) {
        return true;
    }

    // QSaveFile writes a temporary file beside the target (following a
    // symbolic link to it), keeps the target's permissions and renames it
    // over the target only when everything was written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(after) != after.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace IniFile
