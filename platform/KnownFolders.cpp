// The user's well-known folders.
#include "KnownFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace KnownFolders {
namespace {

// An absolute path without a trailing '/' (the root stays "/"), or empty.
QString CleanAbsolute(const QString& path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
        return QString();
    }
    return QDir::cleanPath(path);
}

QString PasswdHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) {
        size = 16384;
    }
    std::vector<char> buffer(static_cast<size_t>(size));
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir) {
        return QString();
    }
    return QFile::decodeName(found->pw_dir);
}

QString ExistingFolder(QStandardPaths::StandardLocation location)
{
    const QString path = CleanAbsolute(QStandardPaths::writableLocation(location));
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

} // namespace

QString HomeFolder()
{
    const QString fromEnv = CleanAbsolute(qEnvironmentVariable("HOME"));
    return fromEnv.isEmpty() ? CleanAbsolute(PasswdHome()) : fromEnv;
}

QString AppDataFolder()
{
    const QString fromEnv = CleanAbsolute(qEnvironmentVariable("XDG_CONFIG_HOME"));
    if (!fromEnv.isEmpty()) {
        return fromEnv;
    }
    const QString home = HomeFolder();
    if (home.isEmpty()) {
        return QString();
    }
    return home == QStringLiteral("/") ? QStringLiteral("/.config") : home + QStringLiteral("/.config");
}

QString MusicFolder()
{
    return ExistingFolder(QStandardPaths::MusicLocation);
}

QString DesktopFolder()
{
    return ExistingFolder(QStandardPaths::DesktopLocation);
}

} // namespace KnownFolders
