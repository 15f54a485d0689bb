// The information reader: a file found on disk becomes the texts of one
// list row and its audio file record, read completely before the row is
// added, so the row is appended and filled in one step on the UI thread.
#pragma once

#include "AudioFileInfo.h"
#include "ListColumns.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

struct mpg123_handle_struct;

// What the file enumerator knows of a found file.
struct FoundFile
{
    QString strName;     // file name with extension
    QString strPath;     // full path
    qint64 nLength = 0;  // bytes
    QDateTime lastWrite; // last-write time
    // The name's bytes are not valid UTF-8: the row is shown but unusable,
    // so no command can act on another file whose name holds U+FFFD.
    bool bUndecodableName = false;
};

// One list row, read but not yet added.
struct FileRowData
{
    QStringList cells = QStringList(COL_COUNT, QString()); // the eighteen cell texts
    CAudioFileInfo info;
    bool bTypeInRed = false;     // the Type cell shows "Unknown" in red
    bool bDurationKnown = false; // libmpg123 read the stream: m_dDuration adds to the total seconds
    QString strTrouble;          // "Trouble with mpg123: %s" to show the user, or empty
};

// Reads the file's size, dates, stream figures, tags and bit rate into a
// row (the work of adding one found file, without the list). Never decodes
// the file, never writes to it.
FileRowData ReadFoundFile(mpg123_handle_struct* handle, const FoundFile& file);

// The found-file record of a path on disk (name, size, last-write time).
FoundFile FoundFileOf(const QString& path);

// Fills the stream cells and decides m_bUnusable (a step of ReadFoundFile).
void ReadAudioInfo(mpg123_handle_struct* handle, const QString& path, FileRowData& row);

// Cell texts of the numbers.
QString DurationText(double seconds);
QString ChannelText(uint32_t channels);
QString LastModifiedText(const QDateTime& time);
