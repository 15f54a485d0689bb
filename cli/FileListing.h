// tarnwick-join --list: the file list's cells of files, as the window shows them.
#pragma once

#include <QStringList>

// Prints a header line with the column headers and one line per file with
// its cell texts, tab-separated (UTF-8). Returns 0 when every file was usable.
int PrintFileList(const QStringList& paths);
