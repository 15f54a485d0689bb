// The output file of a task and the open test of a source file.
#include "OutputPath.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace

QString OutputFolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash <= 0) {
        return QString();
    }
    return path.left(slash);
}

QString MakeUniquePath(const QString& path, bool* pbCreated)
{
    if (pbCreated) {
        *pbCreated = false;
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    // A dot in a folder name is no extension.
    const bool hasExtension = dot > slash;
    const QString stem = hasExtension ? path.left(dot) : path;
    const QString extension = hasExtension ? path.mid(dot) : QString();

    QString candidate;
    for (int n = 2; n < 1000000; ++n) {
        candidate = stem + QStringLiteral(" (") + QString::number(n) + u')' + extension;
        const int fd = ::open(Bytes(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            if (pbCreated) {
                *pbCreated = true;
            }
            return candidate;
        }
        if (errno != EEXIST) {
            return candidate;
        }
    }
    return candidate;
}

bool IsOneOfTheSources(const QString& path, const std::vector<CFileToBeJoin>& files)
{
    struct stat out;
    if (::stat(Bytes(path).constData(), &out) != 0) {
        return false;
    }
    for (const CFileToBeJoin& file : files) {
        struct stat in;
        if (::stat(Bytes(file.m_strPath).constData(), &in) == 0 && in.st_dev == out.st_dev &&
            in.st_ino == out.st_ino) {
            return true;
        }
    }
    return false;
}

bool CheckSource(const QString& path, QString* error)
{
    // Non-blocking, so a named pipe cannot hang the test.
    const int fd = ::open(Bytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error) {
            *error = qt_error_string(errno).left(1024);
        }
        return false;
    }
    struct stat st
    {
    };
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok && error) {
        *error = S_ISDIR(st.st_mode) ? qt_error_string(EISDIR) : QStringLiteral("Not a regular file");
    }
    ::close(fd);
    return ok;
}
