// Reading and classifying /proc/self/mountinfo.
#include "MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <algorithm>

namespace {

QMutex g_sourceMutex;
QString g_sourceForTesting;

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
QByteArray Unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

QString DecodePath(const QByteArray& field)
{
    QString path = QFile::decodeName(Unescape(field));
    if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

bool IsBelow(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/")) {
        return path.startsWith(QLatin1Char('/'));
    }
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

// File systems that are kernel or container plumbing, never a user's volume.
bool IsPseudoType(const QString& type)
{
    static const QStringList types = {
        QStringLiteral("proc"),        QStringLiteral("sysfs"),     QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),      QStringLiteral("cgroup"),    QStringLiteral("cgroup2"),
        QStringLiteral("securityfs"),  QStringLiteral("debugfs"),   QStringLiteral("tracefs"),
        QStringLiteral("pstore"),      QStringLiteral("bpf"),       QStringLiteral("configfs"),
        QStringLiteral("fusectl"),     QStringLiteral("hugetlbfs"), QStringLiteral("mqueue"),
        QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),  QStringLiteral("rpc_pipefs"),
        QStringLiteral("nsfs"),        QStringLiteral("selinuxfs"), QStringLiteral("overlay"),
        QStringLiteral("aufs"),        QStringLiteral("nfsd"),      QStringLiteral("fuse.portal"),
        QStringLiteral("fuse.lxcfs"),  QStringLiteral("ramfs"),
    };
    return types.contains(type);
}

// Places where only the system and containers mount things.
bool IsPlumbingLocation(const QString& mountPoint)
{
    static const QStringList folders = {
        QStringLiteral("/proc"),
        QStringLiteral("/sys"),
        QStringLiteral("/dev"),
        QStringLiteral("/run"),
        QStringLiteral("/snap"),
        QStringLiteral("/var/lib/docker"),
        QStringLiteral("/var/lib/containers"),
        QStringLiteral("/var/snap"),
        QStringLiteral("/var/lib/lxd"),
        QStringLiteral("/var/lib/snapd"),
    };
    if (IsBelow(mountPoint, QStringLiteral("/run/media"))) {
        return false; // where some desktops mount removable media
    }
    return std::any_of(folders.begin(), folders.end(),
                       [&](const QString& folder) { return IsBelow(mountPoint, folder); });
}

bool IsNetworkType(const QString& type)
{
    static const QStringList types = {
        QStringLiteral("nfs"),
        QStringLiteral("nfs4"),
        QStringLiteral("cifs"),
        QStringLiteral("smb3"),
        QStringLiteral("smbfs"),
        QStringLiteral("ncpfs"),
        QStringLiteral("afs"),
        QStringLiteral("ceph"),
        QStringLiteral("9p"),
        QStringLiteral("coda"),
        QStringLiteral("sshfs"),
        QStringLiteral("davfs"),
        QStringLiteral("fuse.sshfs"),
        QStringLiteral("fuse.davfs2"),
        QStringLiteral("fuse.davfs"),
        QStringLiteral("fuse.rclone"),
        QStringLiteral("fuse.s3fs"),
        QStringLiteral("fuse.glusterfs"),
        QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.curlftpfs"),
    };
    return types.contains(type);
}

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.read(64).trimmed();
}

// Removable and optical facts of a block device, from sysfs: the device's
// own "removable" flag, its parent's for a partition, or a USB bus in its
// device path.
void ClassifyDevice(MountEntry& entry, const QString& sysRoot)
{
    const QString source = entry.strSource;
    const QString devName = source.section(QLatin1Char('/'), -1);
    if (entry.strFsType == QLatin1String("iso9660") || entry.strFsType == QLatin1String("udf") ||
        devName.startsWith(QLatin1String("sr")) || devName.startsWith(QLatin1String("scd"))) {
        entry.bOptical = true;
        return;
    }
    if (entry.nMajor == 0 || !source.startsWith(QLatin1String("/dev/"))) {
        return;
    }
    const QString link = sysRoot + QStringLiteral("/dev/block/%1:%2").arg(entry.nMajor).arg(entry.nMinor);
    QFileInfo info(link);
    const QString devicePath = info.exists() ? info.canonicalFilePath() : QString();
    if (devicePath.isEmpty()) {
        return;
    }
    if (devicePath.contains(QLatin1String("/usb")) || devicePath.contains(QLatin1String("/mmc"))) {
        entry.bRemovable = true;
        return;
    }
    QString removable = QString::fromLatin1(ReadSmallFile(devicePath + QStringLiteral("/removable")));
    if (removable.isEmpty() && QFileInfo::exists(devicePath + QStringLiteral("/partition"))) {
        removable =
            QString::fromLatin1(ReadSmallFile(QFileInfo(devicePath).path() + QStringLiteral("/removable")));
    }
    entry.bRemovable = removable == QLatin1String("1");
}

void Classify(MountEntry& entry, const QString& sysRoot)
{
    const QString& type = entry.strFsType;
    entry.bNetwork = IsNetworkType(type);
    entry.bFuse = type == QLatin1String("fuse") || type == QLatin1String("fuseblk") ||
                  type.startsWith(QLatin1String("fuse."));
    entry.bAutomount = type == QLatin1String("autofs");
    const bool plumbingType = IsPseudoType(type) || entry.bAutomount;
    const bool tmpfs = type == QLatin1String("tmpfs");
    const bool snapImage =
        type == QLatin1String("squashfs") && IsBelow(entry.strMountPoint, QStringLiteral("/snap"));
    entry.bPseudo = plumbingType || snapImage || IsPlumbingLocation(entry.strMountPoint);
    if (entry.strMountPoint == QLatin1String("/")) {
        entry.bPseudo = false; // the root is always a volume, also an overlay in a container
    }
    entry.bRamDisk = tmpfs && !entry.bPseudo;
    if (IsBelow(entry.strMountPoint, QStringLiteral("/media")) ||
        IsBelow(entry.strMountPoint, QStringLiteral("/run/media"))) {
        entry.bRemovable = true;
    }
    if (!entry.bNetwork && !entry.bRamDisk) {
        ClassifyDevice(entry, sysRoot);
    }
}

bool ParseLine(const QByteArray& line, MountEntry& entry)
{
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const QList<QByteArray> fields = line.split(' ');
    const qsizetype separator = fields.indexOf(QByteArray("-"));
    if (fields.size() < 6 || separator < 6 || separator + 2 >= fields.size()) {
        return false;
    }
    bool okId = false;
    bool okParent = false;
    entry.nMountId = fields.at(0).toInt(&okId);
    entry.nParentId = fields.at(1).toInt(&okParent);
    const QList<QByteArray> dev = fields.at(2).split(':');
    if (!okId || !okParent || dev.size() != 2) {
        return false;
    }
    entry.nMajor = dev.at(0).toUInt();
    entry.nMinor = dev.at(1).toUInt();
    entry.strRoot = DecodePath(fields.at(3));
    entry.strMountPoint = DecodePath(fields.at(4));
    entry.strOptions = QString::fromLatin1(fields.at(5));
    entry.strFsType = QFile::decodeName(Unescape(fields.at(separator + 1)));
    entry.strSource = QFile::decodeName(Unescape(fields.at(separator + 2)));
    return entry.strMountPoint.startsWith(QLatin1Char('/'));
}

} // namespace

unsigned MountEntry::DriveTypeBit() const
{
    if (bNetwork) {
        return DRIVE_BIT_REMOTE;
    }
    if (bOptical) {
        return DRIVE_BIT_CDROM;
    }
    if (bRemovable) {
        return DRIVE_BIT_REMOVABLE;
    }
    if (bRamDisk) {
        return DRIVE_BIT_RAMDISK;
    }
    return DRIVE_BIT_FIXED;
}

MountTable::MountTable()
    : m_pEntries(std::make_shared<std::vector<MountEntry>>()),
      m_pByMountPoint(std::make_shared<QHash<QString, int>>())
{
}

void MountTable::SetSourceForTesting(const QString& mountInfoPath)
{
    QMutexLocker lock(&g_sourceMutex);
    g_sourceForTesting = mountInfoPath;
}

MountTable MountTable::Read()
{
    QString source;
    {
        QMutexLocker lock(&g_sourceMutex);
        source = g_sourceForTesting;
    }
    QFile file(source.isEmpty() ? QStringLiteral("/proc/self/mountinfo") : source);
    if (!file.open(QIODevice::ReadOnly)) {
        return MountTable();
    }
    // A proc file reports no size; read until the end.
    return Parse(file.readAll());
}

MountTable MountTable::Parse(const QByteArray& text, const QString& sysRoot)
{
    auto entries = std::make_shared<std::vector<MountEntry>>();
    auto byMountPoint = std::make_shared<QHash<QString, int>>();
    for (const QByteArray& line : text.split('\n')) {
        MountEntry entry;
        if (line.trimmed().isEmpty() || !ParseLine(line.trimmed(), entry)) {
            continue;
        }
        Classify(entry, sysRoot);
        byMountPoint->insert(entry.strMountPoint, static_cast<int>(entries->size()));
        entries->push_back(std::move(entry));
    }
    MountTable table;
    table.m_pEntries = std::move(entries);
    table.m_pByMountPoint = std::move(byMountPoint);
    return table;
}

std::vector<const MountEntry*> MountTable::Volumes() const
{
    std::vector<const MountEntry*> volumes;
    for (auto it = m_pByMountPoint->cbegin(); it != m_pByMountPoint->cend(); ++it) {
        const MountEntry& entry = m_pEntries->at(static_cast<size_t>(it.value()));
        const bool wholeVolume =
            entry.strRoot == QLatin1String("/") || entry.strMountPoint == QLatin1String("/");
        if (!entry.bPseudo && wholeVolume) {
            volumes.push_back(&entry);
        }
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const MountEntry* a, const MountEntry* b) { return a->strMountPoint < b->strMountPoint; });
    return volumes;
}

std::vector<const MountEntry*> MountTable::NetworkMounts() const
{
    std::vector<const MountEntry*> mounts;
    for (auto it = m_pByMountPoint->cbegin(); it != m_pByMountPoint->cend(); ++it) {
        const MountEntry& entry = m_pEntries->at(static_cast<size_t>(it.value()));
        if (entry.bNetwork) {
            mounts.push_back(&entry);
        }
    }
    std::sort(mounts.begin(), mounts.end(),
              [](const MountEntry* a, const MountEntry* b) { return a->strMountPoint < b->strMountPoint; });
    return mounts;
}

const MountEntry* MountTable::MountAt(const QString& path) const
{
    const auto it = m_pByMountPoint->constFind(path);
    return it == m_pByMountPoint->cend() ? nullptr : &m_pEntries->at(static_cast<size_t>(it.value()));
}

const MountEntry* MountTable::MountOf(const QString& path) const
{
    if (!path.startsWith(QLatin1Char('/'))) {
        return nullptr;
    }
    QString prefix = path;
    for (;;) {
        if (const MountEntry* entry = MountAt(prefix)) {
            return entry;
        }
        if (prefix == QLatin1String("/")) {
            return nullptr;
        }
        const qsizetype slash = prefix.lastIndexOf(QLatin1Char('/'));
        prefix = slash <= 0 ? QStringLiteral("/") : prefix.left(slash);
    }
}

bool MountTable::IsSlowPath(const QString& path) const
{
    const MountEntry* entry = MountOf(path);
    return entry && entry->IsSlow();
}

bool MountTable::HasMountAtOrBelow(const QString& path) const
{
    for (auto it = m_pByMountPoint->cbegin(); it != m_pByMountPoint->cend(); ++it) {
        if (IsBelow(it.key(), path)) {
            return true;
        }
    }
    return false;
}

QHash<QString, const MountEntry*> MountTable::ChildMounts(const QString& folder) const
{
    QHash<QString, const MountEntry*> children;
    const QString prefix = folder == QLatin1String("/") ? folder : folder + QLatin1Char('/');
    for (auto it = m_pByMountPoint->cbegin(); it != m_pByMountPoint->cend(); ++it) {
        const QString& point = it.key();
        if (point.size() > prefix.size() && point.startsWith(prefix) &&
            point.indexOf(QLatin1Char('/'), prefix.size()) < 0) {
            children.insert(point.mid(prefix.size()), &m_pEntries->at(static_cast<size_t>(it.value())));
        }
    }
    return children;
}
