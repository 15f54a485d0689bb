// The mount table of this process (/proc/self/mountinfo): which volumes
// exist, what kind each is, and which ones must never be touched from the
// UI thread. Everything here comes from the table alone; no mounted file
// system is ever stat'ed or listed to answer a question.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Drive kinds, numbered as the folder tree's drive-type hide mask bits.
enum DriveTypeBit : unsigned
{
    DRIVE_BIT_REMOVABLE = 0x01,
    DRIVE_BIT_FIXED = 0x02,
    DRIVE_BIT_REMOTE = 0x04,
    DRIVE_BIT_CDROM = 0x10,
    DRIVE_BIT_RAMDISK = 0x20,
};

struct MountEntry
{
    int nMountId = 0;
    int nParentId = 0;
    unsigned nMajor = 0;
    unsigned nMinor = 0;
    QString strRoot;       // the folder of the file system that is mounted ("/" for a whole volume)
    QString strMountPoint; // where it is mounted, without a trailing '/' (except "/")
    QString strFsType;     // "ext4", "nfs4", "fuse.sshfs", ...
    QString strSource;     // "/dev/sda1", "server:/export", "//nas/music", ...
    QString strOptions;    // per-mount options ("rw,relatime")

    bool bPseudo = false;    // kernel or container plumbing: never shown as a volume
    bool bNetwork = false;   // a network file system (shown under the Network)
    bool bFuse = false;      // served by a user-space process
    bool bAutomount = false; // an automount point (touching it mounts something)
    bool bRemovable = false; // on a removable device
    bool bOptical = false;   // on an optical medium
    bool bRamDisk = false;   // a memory file system the user mounted (tmpfs outside /run)

    // Network, FUSE, automount, removable and optical volumes answer slowly
    // or not at all, or spin up a medium: the UI thread never touches them.
    bool IsSlow() const { return bNetwork || bFuse || bAutomount || bRemovable || bOptical; }
    // The bit of the drive-type hide mask this volume belongs to.
    unsigned DriveTypeBit() const;
};

class MountTable
{
public:
    // Reads /proc/self/mountinfo (or the file set for tests). Cheap: the
    // kernel produces the text; no mounted file system is touched.
    static MountTable Read();
    // Parses mountinfo text; removable devices are looked up in sysRoot
    // (normally "/sys", which holds device facts, never the media).
    static MountTable Parse(const QByteArray& text, const QString& sysRoot = QStringLiteral("/sys"));
    // Tests point Read() at a file of their own; an empty path restores
    // /proc/self/mountinfo.
    static void SetSourceForTesting(const QString& mountInfoPath);

    MountTable();

    const std::vector<MountEntry>& Entries() const { return *m_pEntries; }
    // The volumes to show under "Computer": "/" first, then every mount of a
    // whole volume that is not plumbing, sorted by mount point; a mount point
    // mounted over several times is listed once, with its topmost mount.
    std::vector<const MountEntry*> Volumes() const;
    // The mounted network file systems, sorted by mount point.
    std::vector<const MountEntry*> NetworkMounts() const;

    // The mount that holds path (the longest mount point that is path or a
    // parent of it); null when the table is empty. Path must be absolute and
    // clean (QDir::cleanPath).
    const MountEntry* MountOf(const QString& path) const;
    // The mount whose mount point is exactly path, or null.
    const MountEntry* MountAt(const QString& path) const;
    bool IsMountPoint(const QString& path) const { return MountAt(path) != nullptr; }
    // True when path lies on a slow volume (see MountEntry::IsSlow), also
    // when it is the mount point of one.
    bool IsSlowPath(const QString& path) const;
    // True when path is a mount point or some mount point lies below it.
    bool HasMountAtOrBelow(const QString& path) const;
    // The mounts whose mount point is a direct child of folder, by name.
    QHash<QString, const MountEntry*> ChildMounts(const QString& folder) const;

private:
    // Shared so that copies handed to worker threads are cheap and immutable.
    std::shared_ptr<const std::vector<MountEntry>> m_pEntries;
    std::shared_ptr<const QHash<QString, int>> m_pByMountPoint; // topmost entry per mount point
};
