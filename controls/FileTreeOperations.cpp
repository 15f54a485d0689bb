// The folder tree's disk operations over the system calls.
#include "FileTreeOperations.h"

#include "FileTreeTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace FileTreeOperations {
namespace {

QByteArray Encoded(const QString& path)
{
    return QFile::encodeName(path);
}

bool Exists(const QString& path)
{
    struct stat st;
    return ::lstat(Encoded(path).constData(), &st) == 0;
}

Result Ok()
{
    return Result{true, 0};
}

Result Failed(int error)
{
    return Result{false, error != 0 ? error : EIO};
}

// Identity of a file without following a link: device, inode and mount.
struct Identity
{
    bool bOk = false;
    bool bDir = false;
    bool bHasMountId = false;
    dev_t nDev = 0;
    ino_t nIno = 0;
    quint64 nMountId = 0;
};

Identity IdentityAt(int dirFd, const char* name)
{
    Identity id;
    struct statx stx;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO | STATX_MNT_ID,
                &stx) != 0) {
        return id;
    }
    id.bOk = true;
    id.bDir = S_ISDIR(stx.stx_mode);
    id.nDev = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    id.nIno = stx.stx_ino;
    id.bHasMountId = (stx.stx_mask & STATX_MNT_ID) != 0;
    id.nMountId = stx.stx_mnt_id;
    return id;
}

bool SameVolume(const Identity& a, const Identity& b)
{
    if (a.nDev != b.nDev) {
        return false;
    }
    return !(a.bHasMountId && b.bHasMountId) || a.nMountId == b.nMountId;
}

// Removes name in dirFd: a non-folder (a link too) is unlinked; a folder is
// emptied first, never past a change of volume.
int RemoveEntry(int dirFd, const char* name, const Identity& volume)
{
    const Identity id = IdentityAt(dirFd, name);
    if (!id.bOk) {
        return errno;
    }
    if (!id.bDir) {
        return ::unlinkat(dirFd, name, 0) == 0 ? 0 : errno;
    }
    if (!SameVolume(id, volume)) {
        return EXDEV;
    }
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || opened.st_ino != id.nIno || opened.st_dev != id.nDev) {
        ::close(fd); // replaced between the look and the open
        return EAGAIN;
    }
    std::vector<QByteArray> names;
    {
        const int listFd = ::dup(fd);
        DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (!dir) {
            const int error = errno;
            if (listFd >= 0) {
                ::close(listFd);
            }
            ::close(fd);
            return error;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray child(entry->d_name);
            if (child != "." && child != "..") {
                names.push_back(child);
            }
        }
        ::closedir(dir);
    }
    int error = 0;
    for (const QByteArray& child : names) {
        error = RemoveEntry(fd, child.constData(), volume);
        if (error != 0) {
            break;
        }
    }
    ::close(fd);
    if (error != 0) {
        return error;
    }
    return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

QString ParentOf(const QString& path)
{
    const QString parent = QFileInfo(path).path();
    return parent.isEmpty() ? QStringLiteral(".") : parent;
}

} // namespace

bool IsValidName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString FreeNewFolderName(const QString& folder)
{
    const QString base = QStringLiteral("New Folder");
    for (int number = 1; number < 1000000; ++number) {
        const QString name = number == 1 ? base : base + QStringLiteral(" (%1)").arg(number);
        if (!Exists(QDir(folder).filePath(name))) {
            return name;
        }
    }
    return QString();
}

Result CreateFolder(const QString& folder, const QString& name, QString* createdName)
{
    if (!name.isEmpty()) {
        if (!IsValidName(name)) {
            return Failed(EINVAL);
        }
        if (::mkdir(Encoded(QDir(folder).filePath(name)).constData(), 0777) != 0) {
            return Failed(errno);
        }
        *createdName = name;
        return Ok();
    }
    // Another program may take a proposed name between the look and the
    // creation; then the next free one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString proposed = FreeNewFolderName(folder);
        if (proposed.isEmpty()) {
            return Failed(EEXIST);
        }
        if (::mkdir(Encoded(QDir(folder).filePath(proposed)).constData(), 0777) == 0) {
            *createdName = proposed;
            return Ok();
        }
        if (errno != EEXIST) {
            return Failed(errno);
        }
    }
    return Failed(EEXIST);
}

Result RenameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = Encoded(from);
    const QByteArray target = Encoded(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
        return Ok();
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return Failed(errno);
    }
    // A file system without the flag (some network ones): look first. The
    // gap between the look and the rename cannot be closed there.
    if (Exists(to)) {
        return Failed(EEXIST);
    }
    return ::rename(source.constData(), target.constData()) == 0 ? Ok() : Failed(errno);
}

bool TouchesMount(const QString& path, const MountTable& mounts)
{
    const QString clean = QDir::cleanPath(path);
    const Identity self = IdentityAt(AT_FDCWD, Encoded(clean).constData());
    if (!self.bOk) {
        return mounts.HasMountAtOrBelow(clean);
    }
    struct stat st;
    if (::lstat(Encoded(clean).constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        return false; // a link is removed or renamed as a link
    }
    if (mounts.HasMountAtOrBelow(clean)) {
        return true;
    }
    const QString resolved = QFileInfo(clean).canonicalFilePath();
    if (!resolved.isEmpty() && resolved != clean && mounts.HasMountAtOrBelow(resolved)) {
        return true;
    }
    const Identity parent = IdentityAt(AT_FDCWD, Encoded(ParentOf(clean)).constData());
    return parent.bOk && !SameVolume(self, parent);
}

Result MoveToTrash(const QString& path, const MountTable& mounts)
{
    const int error = FileTreeTrash::MoveToTrash(path, mounts);
    return error == 0 ? Ok() : Failed(error);
}

Result DeletePermanently(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const QByteArray parent = Encoded(ParentOf(clean));
    const QByteArray name = Encoded(QFileInfo(clean).fileName());
    if (name.isEmpty() || name == "." || name == "..") {
        return Failed(EINVAL);
    }
    const int parentFd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) {
        return Failed(errno);
    }
    const Identity top = IdentityAt(parentFd, name.constData());
    const Identity parentId = IdentityAt(parentFd, ".");
    int error = 0;
    if (!top.bOk) {
        error = errno;
    } else if (top.bDir && parentId.bOk && !SameVolume(top, parentId)) {
        error = EBUSY; // the folder is itself a mount point
    } else {
        error = RemoveEntry(parentFd, name.constData(), top);
    }
    ::close(parentFd);
    return error == 0 ? Ok() : Failed(error);
}

} // namespace FileTreeOperations
