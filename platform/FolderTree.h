// Creating a folder together with its missing parents.
#pragma once

#include <QString>

// Creates the folder at path and every missing parent. True when the folder
// exists afterwards. Fails on paths longer than the system allows, on a
// component that exists but is not a folder, and on any refusal by the file
// system (never loops on one that cannot be made).
bool CreateFolderTree(const QString& path);
