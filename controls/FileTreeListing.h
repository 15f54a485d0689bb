// Listing folders for the folder tree: the entry attributes the hide masks
// test, the folder and file filters, the file patterns, names that are not
// valid UTF-8, and the has-children test that stops at the first match.
// Everything works on directory descriptors and raw names, never through
// wildcards.
#pragma once

#include "MountTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// File attribute bits of the hide masks.
enum FileAttributeBit : quint32
{
    FILE_ATTRIBUTE_READONLY = 0x1, // the owner may not write
    FILE_ATTRIBUTE_HIDDEN = 0x2,   // the name starts with '.'
    FILE_ATTRIBUTE_SYSTEM = 0x4,   // never set here
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,    // never set here
    FILE_ATTRIBUTE_TEMPORARY = 0x100, // never set here
    FILE_ATTRIBUTE_COMPRESSED = 0x800,
    FILE_ATTRIBUTE_OFFLINE = 0x1000, // never set here
    FILE_ATTRIBUTE_ENCRYPTED = 0x4000,
};

// The default hide mask: hidden, system, temporary, offline.
inline constexpr quint32 kDefaultHideMask = 0x1106;

// What a folder listing shows.
struct FileTreeFilter
{
    bool bShowFiles = true;
    quint32 nFolderHideMask = kDefaultHideMask;
    quint32 nFileHideMask = kDefaultHideMask;
    QStringList arrFilePatterns{QStringLiteral("*.*")};
};

// One entry of a listed folder that passed the filter.
struct FileTreeEntry
{
    QByteArray baName;         // the name on disk
    QString strName;           // the name as text (lossy when bUnusable)
    bool bUnusable = false;    // the name is not valid UTF-8
    bool bFolder = false;      // a folder, or a link to one
    bool bLink = false;        // a symbolic link
    bool bSlow = false;        // a slow volume's mount point, or a link into one
    bool bMountPoint = false;  // some volume is mounted here
    bool bHasChildren = false; // result of the has-children test (set without a test for slow ones)
};

struct FolderListing
{
    bool bOk = false; // the folder could be opened
    int nError = 0;   // errno when not
    std::vector<FileTreeEntry> arrEntries;
};

namespace FileTreeListing {

// The name as text; usable is false when the bytes are not valid UTF-8 (the
// text then holds U+FFFD and must never be used as a path).
QString DecodeName(const QByteArray& name, bool* usable);
// Whether a file name matches one pattern: '*' and '?' wildcards, letters
// compared without regard to case; "*" and "*.*" match every name, also
// one without a dot.
bool MatchesPattern(const QString& name, const QString& pattern);
bool MatchesAnyPattern(const QString& name, const QStringList& patterns);
// folder + '/' + name, without doubling the root's '/'.
QString JoinPath(const QString& folder, const QString& name);

// Lists folder: subfolders first, then files, each passing the filter, in
// the order read. testChildren runs the has-children test on every
// subfolder (except slow ones, which count as having children); without it
// every subfolder counts as having children. slowFolder marks the whole
// listing as lying on a slow volume.
FolderListing ListFolder(const QString& folder, const FileTreeFilter& filter, const MountTable& mounts,
                         bool testChildren, bool slowFolder);
// The has-children test for a folder path: true at the first subfolder or
// file that passes the filter.
bool HasChildren(const QString& folder, const FileTreeFilter& filter, const MountTable& mounts);

// Colouring attributes of a path from statx, without following a link:
// bit 1 compressed, bit 2 encrypted (0 when neither or unknown).
quint8 ColourAttribute(const QString& path);

} // namespace FileTreeListing
