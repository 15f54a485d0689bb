// The freedesktop trash, written out here rather than through
// QFile::moveToTrash: Qt 6.4 goes on with an empty trash path when it cannot
// set up the trash folder and moves the item below the current folder.
#include "FileTreeTrash.h"

#include "KnownFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileTreeTrash {
namespace {

QByteArray Encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// A real folder (not a link) of ours at path, made (mode 0700) when missing.
bool EnsureOwnFolder(const QString& path)
{
    const QByteArray name = Encoded(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st;
    return ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// A usable trash folder at trash (with files/ and info/) on device; empty
// when it cannot be used.
bool PrepareTrash(const QString& trash, dev_t device)
{
    if (!EnsureOwnFolder(trash) || !EnsureOwnFolder(trash + QStringLiteral("/files")) ||
        !EnsureOwnFolder(trash + QStringLiteral("/info"))) {
        return false;
    }
    struct stat st;
    return ::stat(Encoded(trash + QStringLiteral("/files")).constData(), &st) == 0 && st.st_dev == device;
}

// The trash of another volume: $topdir/.Trash/$uid when the administrator
// made a shared one (a sticky folder, not a link), else $topdir/.Trash-$uid.
QString VolumeTrash(const QString& topdir, dev_t device)
{
    const QString uid = QString::number(::geteuid());
    const QString base = topdir == QLatin1String("/") ? QString() : topdir;
    struct stat st;
    const QString shared = base + QStringLiteral("/.Trash");
    if (::lstat(Encoded(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        PrepareTrash(shared + QLatin1Char('/') + uid, device)) {
        return shared + QLatin1Char('/') + uid;
    }
    const QString own = base + QStringLiteral("/.Trash-") + uid;
    return PrepareTrash(own, device) ? own : QString();
}

bool WriteInfo(int fd, const QString& recordedPath)
{
    const QByteArray text =
        "[Trash Info]\nPath=" + QUrl::toPercentEncoding(recordedPath, "/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";
    return ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size();
}

} // namespace

QString HomeTrash()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        dataHome = KnownFolders::HomeFolder() + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(dataHome) + QStringLiteral("/Trash");
}

int MoveToTrash(const QString& path, const MountTable& mounts)
{
    const QString clean = QDir::cleanPath(path);
    const QFileInfo info(clean);
    const QString name = info.fileName();
    struct stat item;
    if (name.isEmpty() || ::lstat(Encoded(clean).constData(), &item) != 0) {
        return ENOENT;
    }
    // Anything on the home folder's volume goes to the home trash only.
    const QString homeTrash = HomeTrash();
    QDir().mkpath(QFileInfo(homeTrash).path());
    struct stat home;
    const bool homeKnown = ::stat(Encoded(QFileInfo(homeTrash).path()).constData(), &home) == 0;
    QString trash;
    QString recorded = clean;
    if (homeKnown && home.st_dev == item.st_dev) {
        if (PrepareTrash(homeTrash, item.st_dev)) {
            trash = homeTrash;
        }
    } else {
        const QString folder = QFileInfo(info.path()).canonicalFilePath();
        const MountEntry* mount = folder.isEmpty() ? nullptr : mounts.MountOf(folder);
        if (mount) {
            trash = VolumeTrash(mount->strMountPoint, item.st_dev);
            const QString full = folder + QLatin1Char('/') + name;
            recorded = mount->strMountPoint == QLatin1String("/") ? full.mid(1)
                                                                  : full.mid(mount->strMountPoint.size() + 1);
        }
    }
    if (trash.isEmpty()) {
        return EXDEV;
    }
    const QByteArray source = Encoded(clean);
    for (int number = 1; number < 10000; ++number) {
        const QString trashName = number == 1 ? name : QStringLiteral("%1.%2").arg(name).arg(number);
        const QByteArray infoPath =
            Encoded(trash + QStringLiteral("/info/") + trashName + QStringLiteral(".trashinfo"));
        // The info file claims the name; the rename never replaces anything.
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return errno;
        }
        const bool written = WriteInfo(fd, recorded);
        ::close(fd);
        if (!written) {
            ::unlink(infoPath.constData());
            return EIO;
        }
        const QByteArray target = Encoded(trash + QStringLiteral("/files/") + trashName);
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
            return 0;
        }
        const int error = errno;
        ::unlink(infoPath.constData());
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

} // namespace FileTreeTrash
