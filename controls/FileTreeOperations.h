// Disk operations behind the folder tree's commands: creating, renaming,
// moving to the trash and deleting for good. None of them ever replaces an
// existing name, follows a link into what it points at, or reaches into
// another mounted volume.
#pragma once

#include "MountTable.h"

#include <QString>

namespace FileTreeOperations {

// Outcome of an operation: ok, or the errno-style reason it failed.
struct Result
{
    bool bOk = false;
    int nError = 0;
};

// A typed name is a name: not empty, not "." or "..", and without '/' or NUL.
bool IsValidName(const QString& name);

// The first of "New Folder", "New Folder (2)", "New Folder (3)", ... that
// names nothing in folder (not even a dangling link).
QString FreeNewFolderName(const QString& folder);

// Creates folder/name. An empty name takes the first free proposed name
// (and the next one when another program takes it first). createdName
// receives the name used.
Result CreateFolder(const QString& folder, const QString& name, QString* createdName);

// Renames from to to, failing with EEXIST when to names anything; the
// check and the rename are one step (renameat2 RENAME_NOREPLACE).
Result RenameNoReplace(const QString& from, const QString& to);

// True when path (not a link) is a mount point or holds one: known from the
// mount table under its given and its resolved path, or seen as a mount of
// its own beside its parent folder.
bool TouchesMount(const QString& path, const MountTable& mounts);

// Moves path to the freedesktop trash (see FileTreeTrash). A failure never
// turns into a permanent delete.
Result MoveToTrash(const QString& path, const MountTable& mounts);

// Deletes path for good. Links are removed as links; the walk never leaves
// the volume (and mount) it started on and stops at the first failure.
Result DeletePermanently(const QString& path);

} // namespace FileTreeOperations
