// The user's well-known folders, as the desktop names them (XDG).
#pragma once

#include <QString>

namespace KnownFolders {

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config. Empty when no
// home folder can be named. No trailing '/'.
QString AppDataFolder();
// The XDG music and desktop folders when they exist, else empty.
QString MusicFolder();
QString DesktopFolder();
// The home folder, without a trailing '/'.
QString HomeFolder();

} // namespace KnownFolders
