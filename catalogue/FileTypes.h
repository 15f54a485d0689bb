// Which found files the catalogue takes: the one accepted extension, "MP3",
// in any case, and the names a folder scan passes over.
#pragma once

#include <QString>

// True when the text after the name's last '.' is "mp3" in any case.
inline bool HasAcceptedExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && fileName.mid(dot + 1).compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0;
}

// Hidden names (starting with '.', such as the "._x.mp3" companions other
// systems leave) are skipped by folder scans; a file the user picks or drops
// is still read.
inline bool IsSkippedByFolderScans(const QString& fileName)
{
    return fileName.startsWith(QLatin1Char('.'));
}
