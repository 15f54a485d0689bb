// Private-profile INI files: case-insensitive sections and keys, plain text
// values, edits in place that keep every other line of the file.
#pragma once

#include <QString>

namespace IniFile {

// Longest value a read returns, as a 1024-character buffer would hold it.
inline constexpr int kMaxValueChars = 1023;

// Reads [section] key from the file at path. Returns defaultValue when the
// file cannot be read, or the section or the key is missing; a key that is
// present with an empty value gives the empty text. The value is trimmed of
// blanks and, like the default, cut at maxChars characters. Names match
// case-insensitively; the first of duplicate keys wins, and a section that
// occurs twice counts as one. A UTF-8 byte-order mark and CRLF line ends are
// accepted; lines starting with ';' or '#' are comments.
QString ReadString(const QString& section, const QString& key, const QString& defaultValue,
                   const QString& path, int maxChars = kMaxValueChars);

// Writes [section] key = value into the file at path, creating the file when
// it is missing: the first such key is updated in place, a new key goes after
// the last key line of its section, a new section at the end of the file; all
// other bytes of the file stay as they were (its line-end style included).
// The file is replaced atomically (QSaveFile: a symbolic link is followed, the
// permissions kept). Refuses (returns false, file unchanged) a value, key or
// section containing CR, LF or NUL, an empty section or key, a key that would
// not read back as itself ('=' in it, starting with '[', ';' or '#'), an
// existing file without write permission in its mode, a file that exists but
// cannot be read (nothing is ever truncated), a UTF-16 file, and any write
// failure.
bool WriteString(const QString& section, const QString& key, const QString& value, const QString& path);

} // namespace IniFile
