// Locale-independent printf-style formatting.
#include "TextFormat.h"

#include <cstdarg>

QString FormatText(const char* format, ...)
{
    // QString::vasprintf formats numbers in the C locale whatever the
    // process locale is.
    va_list args;
    va_start(args, format);
    QString text = QString::vasprintf(format, args);
    va_end(args);
    return text;
}
