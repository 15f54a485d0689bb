// Moving files and folders to the freedesktop trash: the home trash for
// anything on the home folder's volume, the volume's own trash folder
// ($topdir/.Trash/$uid or $topdir/.Trash-$uid) for other volumes. A name is
// only ever moved by a rename that replaces nothing; a trash folder that
// cannot be used makes the move fail, it never sends the item elsewhere.
#pragma once

#include "MountTable.h"

#include <QString>

namespace FileTreeTrash {

// Moves path (a link as a link) into the trash. Returns 0, or the errno
// reason it failed (EXDEV when no trash on its volume can be used).
int MoveToTrash(const QString& path, const MountTable& mounts);
// The home trash folder: $XDG_DATA_HOME/Trash (default ~/.local/share/Trash).
QString HomeTrash();

} // namespace FileTreeTrash
