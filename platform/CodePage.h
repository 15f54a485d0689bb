// The "ANSI code page" of 8-bit tag texts: the locale's character set when it
// is a legacy 8-bit or multi-byte set, else Windows-1252; TARNWICK_CODEPAGE
// (an iconv name) overrides it; an override iconv does not know gives
// Windows-1252 too. Conversions go through iconv. Safe to call from any thread.
#pragma once

#include <QByteArray>
#include <QString>

namespace CodePage {

// The iconv name in use (after the override and the fallback).
QByteArray Name();
// Bytes that do not convert become U+FFFD; a multi-byte character cut at the
// end of the text becomes one U+FFFD. Never fails.
QString ToUnicode(const QByteArray& bytes);
// Characters that do not convert become '?'.
QByteArray FromUnicode(const QString& text);
// Forgets the cached name, so a changed TARNWICK_CODEPAGE takes effect (tests).
void Reset();

} // namespace CodePage
