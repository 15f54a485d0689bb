// Private-profile INI files: case-insensitive sections and keys, plain text
// values, edits in place that keep every other line of the file.
#pragma once

#include <QString>

namespace IniFile {

// Longest value a read returns, as a 1024-character buffer would hold it.
inline constexpr int kMaxValueChars = 1023;

// Reads [section] key from the file at path. Returns defaultValue when the
// file, the section or the key is missing. The value is trimmed of blanks and
// cut at maxChars characters. The first of duplicate keys wins. A UTF-8
// byte-order mark and CRLF line ends are accepted.
QString ReadString(const QString& section, const QString& key, const QString& defaultValue,
                   const QString& path, int maxChars = kMaxValueChars);

// Writes [section] key = value into the file at path, creating the file when
// it is missing: the key is updated in place, a new key goes at the end of its
// section, a new section at the end of the file; all other lines stay. The
// file is replaced atomically. Refuses (returns false, file unchanged) a
// value, key or section containing CR, LF or NUL, a read-only file, or any
// write failure.
bool WriteString(const QString& section, const QString& key, const QString& value, const QString& path);

} // namespace IniFile
