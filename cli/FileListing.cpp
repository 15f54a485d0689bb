// Printing the list cells of files.
#include "FileListing.h"

#include "InformationReader.h"
#include "JoinConsole.h"
#include "JoinEvents.h"
#include "StreamReader.h"

#include <cstdio>

namespace {

// Tabs and line breaks inside a text would break the columns.
QString CellForPrinting(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

void PrintLine(const QStringList& cells)
{
    QStringList printable;
    for (const QString& cell : cells) {
        printable << CellForPrinting(cell);
    }
    std::fputs(printable.join(QLatin1Char('\t')).toUtf8().append('\n').constData(), stdout);
}

} // namespace

int PrintFileList(const QStringList& paths)
{
    QStringList headers;
    for (const ListColumnInfo& column : kListColumns) {
        headers << QString::fromLatin1(column.header);
    }
    PrintLine(headers);
    int status = 0;
    for (const QString& path : paths) {
        const FileRowData row = ReadFoundFile(g_hInfoDecoder, FoundFileOf(path));
        if (!row.strTrouble.isEmpty()) {
            std::fflush(stdout);
            PrintKindLine(row.strTrouble, LOG_ERROR);
        }
        PrintLine(row.cells);
        if (row.info.m_bUnusable) {
            status = 1;
        }
    }
    std::fflush(stdout);
    return status;
}
