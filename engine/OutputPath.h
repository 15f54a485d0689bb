// The output file of a task: its folder, a free numbered name, and whether it
// is one of the task's sources.
#pragma once

#include "ConversionTask.h"

#include <QString>

#include <vector>

// The folder part of path: up to, not including, the last '/'. Empty when
// path has no '/' or names a file in the root folder.
QString OutputFolderOf(const QString& path);

// For n = 2, 3, ... the first "stem (n).ext" that does not exist, where ext
// starts at the last '.' of the file name (none when the name has no '.').
// The candidate is created empty with O_EXCL, so a name taken meanwhile by
// another program moves on to the next number and the returned file cannot be
// an existing one. When creation fails for another reason the candidate is
// returned anyway (opening it for writing then reports the failure);
// pbCreated tells whether the file was created here.
QString MakeUniquePath(const QString& path, bool* pbCreated = nullptr);

// True when path exists and is the same file (device and inode, links
// followed) as one of the files.
bool IsOneOfTheSources(const QString& path, const std::vector<CFileToBeJoin>& files);

// Opens path for reading as a test and closes it again. False for a file that
// cannot be opened or is not a regular file, with the system's text for the
// failure in error.
bool CheckSource(const QString& path, QString* error);
