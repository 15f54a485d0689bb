// Locale-independent formatting of the system's texts. Qt sets the user's
// locale at start, so the C library's printf family would write "4,05" in
// German; every number shown or logged goes through these instead.
#pragma once

#include <QString>

// printf-style formatting that always uses the C locale ("%.2f" -> "4.05").
QString FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
