// Creating a folder and its missing parents with mkdir(2).
#include "FolderTree.h"

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

bool IsFolder(const char* path)
{
    struct stat info;
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Index of the end of the parent of buffer[0, end): the start of the run of
// slashes before the last component. 0 when there is no parent to cut to.
qsizetype ParentEnd(const QByteArray& buffer, qsizetype end)
{
    qsizetype i = end;
    while (i > 0 && buffer[i - 1] != '/')
        --i;
    while (i > 0 && buffer[i - 1] == '/')
        --i;
    return i;
}

// Index of the end of the component after the cut at end.
qsizetype NextComponentEnd(const QByteArray& buffer, qsizetype end)
{
    qsizetype i = end;
    while (i < buffer.size() && buffer[i] == '/')
        ++i;
    while (i < buffer.size() && buffer[i] != '/')
        ++i;
    return i;
}

} // namespace

bool CreateFolderTree(const QString& path)
{
    QByteArray full = QFile::encodeName(path);
    // Trailing slashes name the same folder; "/" itself stays.
    while (full.size() > 1 && full.endsWith('/'))
        full.chop(1);
    // A NUL inside the name would make mkdir(2) act on a shorter path.
    if (full.isEmpty() || full.size() >= PATH_MAX || full.contains('\0'))
        return false;

    // The buffer holds the full path; a cut is made by a NUL at cut, so the
    // prefix in front of it names the folder that is tried next.
    QByteArray buffer = full;
    buffer.append('\0');
    qsizetype cut = full.size();
    // Set once a parent was found or made. From then on "not found" cannot
    // be cured by making a parent again (a pseudo file system, a removed
    // folder), so it ends the attempt instead of going round for ever.
    bool parentReady = false;

    for (;;) {
        buffer[cut] = '\0';
        const char* folder = buffer.constData();
        const int error = ::mkdir(folder, 0777) == 0 ? 0 : errno;
        if (error == 0 || (error == EEXIST && IsFolder(folder))) {
            if (cut == full.size())
                return true;
            buffer[cut] = full[cut];
            cut = NextComponentEnd(full, cut);
            parentReady = true;
            continue;
        }
        if (error != ENOENT || parentReady)
            return false; // exists as a non-folder, refused, name too long, ...
        cut = ParentEnd(full, cut);
        if (cut == 0)
            return false;
    }
}
