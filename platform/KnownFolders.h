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
// $HOME when it is an absolute path, else the account's home folder; empty
// when neither names one. Without a trailing '/' (except the root "/").
QString HomeFolder();

} // namespace KnownFolders
