// Folder listings, filters and the has-children test of the folder tree.
#include "FileTreeListing.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileTreeListing {
namespace {

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Closes a DIR stream (and its descriptor) on every way out.
class DirStream
{
public:
    explicit DirStream(int fd) : m_dir(fd >= 0 ? ::fdopendir(fd) : nullptr)
    {
        if (fd >= 0 && !m_dir) {
            ::close(fd);
        }
    }
    ~DirStream()
    {
        if (m_dir) {
            ::closedir(m_dir);
        }
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    DIR* get() const { return m_dir; }
    int fd() const { return m_dir ? ::dirfd(m_dir) : -1; }

private:
    DIR* m_dir;
};

// Where a link points, worked out from its text alone (no component is
// looked up), so that a link into a slow volume is recognised untouched.
QString LexicalLinkTarget(int dirFd, const char* name, const QString& folder)
{
    char buffer[4096];
    const ssize_t length = ::readlinkat(dirFd, name, buffer, sizeof buffer);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof buffer)) {
        return QString();
    }
    const QString target = QFile::decodeName(QByteArray(buffer, static_cast<int>(length)));
    if (target.startsWith(QLatin1Char('/'))) {
        return QDir::cleanPath(target);
    }
    return QDir::cleanPath(JoinPath(folder, target));
}

struct EntryKind
{
    bool bFolder = false;
    bool bLink = false;
    bool bSlow = false;
};

// Folder or file, link or not, slow or not, touching nothing slow unless
// the listing already runs on a worker (slowFolder).
EntryKind Classify(int dirFd, const dirent* entry, const QString& folder, const MountEntry* mount,
                   const MountTable& mounts, bool slowFolder)
{
    EntryKind kind;
    kind.bSlow = slowFolder;
    if (mount && mount->IsSlow() && !slowFolder) {
        kind.bFolder = true;
        kind.bSlow = true;
        return kind;
    }
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return kind;
        }
        type = S_ISLNK(st.st_mode) ? DT_LNK : (S_ISDIR(st.st_mode) ? DT_DIR : DT_REG);
    }
    if (type == DT_DIR) {
        kind.bFolder = true;
        return kind;
    }
    if (type != DT_LNK) {
        return kind;
    }
    kind.bLink = true;
    if (!slowFolder) {
        const QString target = LexicalLinkTarget(dirFd, entry->d_name, folder);
        if (!target.isEmpty() && mounts.IsSlowPath(target)) {
            kind.bFolder = true; // cannot tell without touching it; a failed listing later says
            kind.bSlow = true;
            return kind;
        }
    }
    struct stat st;
    kind.bFolder = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    return kind;
}

// The attribute bits of an entry that mask asks about; the costly ones
// (read-only, compressed, encrypted) only when the mask names them.
quint32 Attributes(int dirFd, const char* name, bool folder, bool slow, quint32 mask)
{
    quint32 attributes = folder ? quint32(FILE_ATTRIBUTE_DIRECTORY) : 0u;
    if (name[0] == '.') {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    constexpr quint32 statBits =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED;
    if ((mask & statBits) == 0 || slow) {
        return attributes;
    }
    struct statx stx;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_MODE, &stx) != 0) {
        return attributes;
    }
    if ((stx.stx_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (stx.stx_attributes & STATX_ATTR_COMPRESSED) {
        attributes |= FILE_ATTRIBUTE_COMPRESSED;
    }
    if (stx.stx_attributes & STATX_ATTR_ENCRYPTED) {
        attributes |= FILE_ATTRIBUTE_ENCRYPTED;
    }
    return attributes;
}

bool FolderPasses(quint32 attributes, const FileTreeFilter& filter)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & filter.nFolderHideMask) == 0;
}

bool FilePasses(quint32 attributes, const QString& name, const FileTreeFilter& filter)
{
    return filter.bShowFiles && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & filter.nFileHideMask) == 0 && MatchesAnyPattern(name, filter.arrFilePatterns);
}

// The has-children test on an open folder descriptor (taken over).
bool HasChildrenFd(int fd, const QString& folder, const FileTreeFilter& filter, const MountTable& mounts,
                   bool slowFolder)
{
    DirStream dir(fd);
    if (!dir.get()) {
        return false;
    }
    const quint32 bothMasks = filter.nFolderHideMask | (filter.bShowFiles ? filter.nFileHideMask : 0);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (IsDotEntry(entry->d_name)) {
            continue;
        }
        // Quick ways past entries that cannot pass, before anything costly.
        const bool hidden = entry->d_name[0] == '.';
        if (hidden && (filter.nFolderHideMask & FILE_ATTRIBUTE_HIDDEN) &&
            (!filter.bShowFiles || (filter.nFileHideMask & FILE_ATTRIBUTE_HIDDEN))) {
            continue;
        }
        if (!filter.bShowFiles && entry->d_type != DT_DIR && entry->d_type != DT_LNK &&
            entry->d_type != DT_UNKNOWN) {
            continue;
        }
        const MountEntry* mount = nullptr;
        if (entry->d_type == DT_UNKNOWN && !slowFolder) {
            mount = mounts.MountAt(JoinPath(folder, QFile::decodeName(entry->d_name)));
        }
        const EntryKind kind = Classify(dir.fd(), entry, folder, mount, mounts, slowFolder);
        const quint32 attributes =
            Attributes(dir.fd(), entry->d_name, kind.bFolder, kind.bSlow && !slowFolder, bothMasks);
        if (kind.bFolder) {
            if (FolderPasses(attributes, filter)) {
                return true;
            }
            continue;
        }
        bool usable = true;
        if (FilePasses(attributes, DecodeName(QByteArray(entry->d_name), &usable), filter)) {
            return true;
        }
    }
    return false;
}

} // namespace

QString DecodeName(const QByteArray& name, bool* usable)
{
    bool ascii = true;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        *usable = true;
        return QString::fromLatin1(name);
    }
    // File names are encoded as UTF-8 (QFile::encodeName); a name that does
    // not survive the round trip cannot be named by its text.
    const QString text = QString::fromUtf8(name);
    *usable = QFile::encodeName(text) == name;
    return text;
}

bool MatchesPattern(const QString& name, const QString& pattern)
{
    if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*")) {
        return true;
    }
    // Greedy matching with one back-tracking point per '*'.
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') ||
                                          pattern.at(p).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

bool MatchesAnyPattern(const QString& name, const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        if (MatchesPattern(name, pattern)) {
            return true;
        }
    }
    return false;
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/'))) {
        return folder + name;
    }
    return folder + QLatin1Char('/') + name;
}

FolderListing ListFolder(const QString& folder, const FileTreeFilter& filter, const MountTable& mounts,
                         bool testChildren, bool slowFolder)
{
    FolderListing listing;
    DirStream dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.get()) {
        listing.nError = errno;
        return listing;
    }
    listing.bOk = true;
    const QHash<QString, const MountEntry*> childMounts = mounts.ChildMounts(folder);
    const quint32 bothMasks = filter.nFolderHideMask | (filter.bShowFiles ? filter.nFileHideMask : 0);
    std::vector<FileTreeEntry> files;
    while (const dirent* raw = ::readdir(dir.get())) {
        if (IsDotEntry(raw->d_name)) {
            continue;
        }
        if (!filter.bShowFiles && raw->d_name[0] == '.' && (filter.nFolderHideMask & FILE_ATTRIBUTE_HIDDEN)) {
            continue;
        }
        if (!filter.bShowFiles && raw->d_type != DT_DIR && raw->d_type != DT_LNK &&
            raw->d_type != DT_UNKNOWN) {
            continue;
        }
        FileTreeEntry entry;
        entry.baName = QByteArray(raw->d_name);
        bool usable = true;
        entry.strName = DecodeName(entry.baName, &usable);
        entry.bUnusable = !usable;
        const MountEntry* mount =
            childMounts.isEmpty() || entry.bUnusable ? nullptr : childMounts.value(entry.strName);
        const EntryKind kind = Classify(dir.fd(), raw, folder, mount, mounts, slowFolder);
        const quint32 attributes =
            Attributes(dir.fd(), raw->d_name, kind.bFolder, kind.bSlow && !slowFolder, bothMasks);
        entry.bFolder = kind.bFolder;
        entry.bLink = kind.bLink;
        entry.bSlow = kind.bSlow;
        entry.bMountPoint = mount != nullptr;
        if (entry.bFolder) {
            if (!FolderPasses(attributes, filter)) {
                continue;
            }
            if (entry.bUnusable) {
                entry.bHasChildren = false; // its contents cannot be named
            } else if (!testChildren || entry.bSlow) {
                entry.bHasChildren = true;
            } else {
                const int childFd = ::openat(dir.fd(), raw->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                entry.bHasChildren = childFd >= 0 && HasChildrenFd(childFd, JoinPath(folder, entry.strName),
                                                                   filter, mounts, false);
            }
            listing.arrEntries.push_back(std::move(entry));
        } else if (FilePasses(attributes, entry.strName, filter)) {
            files.push_back(std::move(entry));
        }
    }
    for (FileTreeEntry& file : files) {
        listing.arrEntries.push_back(std::move(file));
    }
    return listing;
}

bool HasChildren(const QString& folder, const FileTreeFilter& filter, const MountTable& mounts)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 && HasChildrenFd(fd, folder, filter, mounts, false);
}

quint8 ColourAttribute(const QString& path)
{
    struct statx stx;
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, 0,
                &stx) != 0) {
        return 0;
    }
    const quint64 attributes = stx.stx_attributes & stx.stx_attributes_mask;
    return static_cast<quint8>(((attributes & STATX_ATTR_COMPRESSED) ? 1 : 0) |
                               ((attributes & STATX_ATTR_ENCRYPTED) ? 2 : 0));
}

} // namespace FileTreeListing
