// The folder tree's mount table (which volumes are shown, which ones are
// slow, which are network volumes) and the Samba user shares.
#include "CShareEnumerator.h"
#include "MountTable.h"
#include "TestGuiMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestFileTreeMounts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_noSys; // an empty device folder: no device counts as removable

private slots:
    void classify_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<bool>("volume");
        QTest::addColumn<bool>("slow");
        QTest::addColumn<bool>("network");
        QTest::addColumn<uint>("driveBit");
        auto row = [](const char* name, const char* line, const char* point, bool volume, bool slow,
                      bool network, uint bit) {
            QTest::newRow(name) << QString::fromLatin1(line) << QString::fromLatin1(point) << volume << slow
                                << network << bit;
        };
        row("root disk", "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw", "/", true, false, false,
            DRIVE_BIT_FIXED);
        row("root overlay of a container", "1 0 0:50 / / rw - overlay overlay rw,lowerdir=/l", "/", true,
            false, false, DRIVE_BIT_FIXED);
        row("proc", "21 27 0:20 / /proc rw - proc proc rw", "/proc", false, false, false, DRIVE_BIT_FIXED);
        row("cgroup2", "41 31 0:38 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw",
            "/sys/fs/cgroup/unified", false, false, false, DRIVE_BIT_FIXED);
        row("tmpfs below /run", "30 27 0:27 / /run/user/1000 rw - tmpfs tmpfs rw", "/run/user/1000", false,
            false, false, DRIVE_BIT_FIXED);
        row("tmpfs elsewhere is a RAM disk", "31 27 0:28 / /tmp rw - tmpfs tmpfs rw", "/tmp", true, false,
            false, DRIVE_BIT_RAMDISK);
        row("overlay of a container",
            "60 27 0:51 / /var/lib/docker/overlay2/ab/merged rw - overlay overlay rw",
            "/var/lib/docker/overlay2/ab/merged", false, false, false, DRIVE_BIT_FIXED);
        row("snap image", "70 27 7:3 / /snap/core/123 ro - squashfs /dev/loop3 ro", "/snap/core/123", false,
            false, false, DRIVE_BIT_FIXED);
        row("bind mount of a folder", "80 27 254:0 /home/x /srv/bind rw - ext4 /dev/vda rw", "/srv/bind",
            false, false, false, DRIVE_BIT_FIXED);
        row("second disk", "81 27 8:1 / /data rw - xfs /dev/sda1 rw", "/data", true, false, false,
            DRIVE_BIT_FIXED);
        row("nfs", "90 27 0:60 / /mnt/nas rw - nfs4 nas:/export rw", "/mnt/nas", true, true, true,
            DRIVE_BIT_REMOTE);
        row("cifs with a blank in its name", "91 27 0:61 / /mnt/My\\040Music rw - cifs //nas/My\\040Music rw",
            "/mnt/My Music", true, true, true, DRIVE_BIT_REMOTE);
        row("sshfs", "92 27 0:62 / /home/u/remote rw - fuse.sshfs u@host:/ rw", "/home/u/remote", true, true,
            true, DRIVE_BIT_REMOTE);
        row("local FUSE", "93 27 0:63 / /home/u/vault rw - fuse.encfs encfs rw", "/home/u/vault", true, true,
            false, DRIVE_BIT_FIXED);
        row("automount point", "94 27 0:64 / /net rw - autofs systemd-1 rw", "/net", false, true, false,
            DRIVE_BIT_FIXED);
        row("removable by place", "95 27 8:17 / /media/u/STICK rw - vfat /dev/sdb1 rw", "/media/u/STICK",
            true, true, false, DRIVE_BIT_REMOVABLE);
        row("optical", "96 27 11:0 / /srv/disc ro - iso9660 /dev/sr0 ro", "/srv/disc", true, true, false,
            DRIVE_BIT_CDROM);
        row("desktop network folders", "97 30 0:65 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw",
            "/run/user/1000/gvfs", false, true, true, DRIVE_BIT_REMOTE);
    }

    void classify()
    {
        QFETCH(QString, line);
        QFETCH(QString, mountPoint);
        QFETCH(bool, volume);
        QFETCH(bool, slow);
        QFETCH(bool, network);
        QFETCH(uint, driveBit);
        const MountTable table = MountTable::Parse(line.toUtf8(), m_noSys.path());
        const MountEntry* entry = table.MountAt(mountPoint);
        QVERIFY(entry);
        QCOMPARE(entry->IsSlow(), slow);
        QCOMPARE(entry->bNetwork, network);
        QCOMPARE(entry->DriveTypeBit(), driveBit);
        const std::vector<const MountEntry*> volumes = table.Volumes();
        QCOMPARE(std::find(volumes.begin(), volumes.end(), entry) != volumes.end(), volume);
        const std::vector<const MountEntry*> networks = table.NetworkMounts();
        QCOMPARE(std::find(networks.begin(), networks.end(), entry) != networks.end(), network);
    }

    void queries()
    {
        const QByteArray text = "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                "90 27 0:60 / /mnt/nas rw - nfs4 nas:/export rw\n"
                                "91 90 8:1 / /mnt/nas/inner rw - ext4 /dev/sda1 rw\n"
                                "92 27 8:2 / /home/u/disk rw - ext4 /dev/sda2 rw\n"
                                "93 27 8:3 / /home/u/disk rw - ext4 /dev/sda3 rw\n"
                                "garbage line\n";
        const MountTable table = MountTable::Parse(text, m_noSys.path());
        QCOMPARE(table.Entries().size(), size_t(5));
        QVERIFY(table.IsSlowPath(QStringLiteral("/mnt/nas")));
        QVERIFY(table.IsSlowPath(QStringLiteral("/mnt/nas/a/b")));
        QVERIFY(!table.IsSlowPath(QStringLiteral("/mnt/nas/inner/c"))); // a local volume mounted inside
        QVERIFY(!table.IsSlowPath(QStringLiteral("/mnt/nasty")));
        QCOMPARE(table.MountOf(QStringLiteral("/home/u/disk/x"))->strSource, QStringLiteral("/dev/sda3"));
        QVERIFY(table.HasMountAtOrBelow(QStringLiteral("/home/u")));
        QVERIFY(table.HasMountAtOrBelow(QStringLiteral("/home/u/disk")));
        QVERIFY(!table.HasMountAtOrBelow(QStringLiteral("/home/u/di")));
        QCOMPARE(table.ChildMounts(QStringLiteral("/home/u")).keys(), QStringList{"disk"});
        QCOMPARE(table.ChildMounts(QStringLiteral("/mnt")).keys(), QStringList{"nas"});
        // A mount point mounted over twice is one volume, the topmost.
        int disks = 0;
        for (const MountEntry* volume : table.Volumes()) {
            disks += volume->strMountPoint == QLatin1String("/home/u/disk") ? 1 : 0;
        }
        QCOMPARE(disks, 1);
        QCOMPARE(table.Volumes().front()->strMountPoint, QStringLiteral("/"));
    }

    void removableFromDeviceFacts()
    {
        // Device facts as sysfs gives them: a USB stick, and a card reader's
        // partition whose disk says "removable".
        QTemporaryDir sys;
        QDir root(sys.path());
        QVERIFY(root.mkpath(QStringLiteral("devices/pci0/usb1/1-1/host6/block/sdb/sdb1")));
        QVERIFY(root.mkpath(QStringLiteral("devices/pci0/ata2/block/sdc/sdc1")));
        QVERIFY(root.mkpath(QStringLiteral("devices/pci0/ata1/block/sda/sda1")));
        QFile flag(root.filePath(QStringLiteral("devices/pci0/ata2/block/sdc/removable")));
        QVERIFY(flag.open(QIODevice::WriteOnly));
        flag.write("1\n");
        flag.close();
        QFile(root.filePath(QStringLiteral("devices/pci0/ata2/block/sdc/sdc1/partition")))
            .open(QIODevice::WriteOnly);
        QVERIFY(root.mkpath(QStringLiteral("dev/block")));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("devices/pci0/usb1/1-1/host6/block/sdb/sdb1")),
                            root.filePath(QStringLiteral("dev/block/8:17"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("devices/pci0/ata2/block/sdc/sdc1")),
                            root.filePath(QStringLiteral("dev/block/8:33"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("devices/pci0/ata1/block/sda/sda1")),
                            root.filePath(QStringLiteral("dev/block/8:1"))));
        const MountTable table = MountTable::Parse("95 27 8:17 / /srv/stick rw - vfat /dev/sdb1 rw\n"
                                                   "96 27 8:33 / /srv/card rw - exfat /dev/sdc1 rw\n"
                                                   "97 27 8:1 / /srv/fixed rw - ext4 /dev/sda1 rw\n",
                                                   sys.path());
        QVERIFY(table.MountAt(QStringLiteral("/srv/stick"))->bRemovable);
        QVERIFY(table.MountAt(QStringLiteral("/srv/card"))->bRemovable);
        QVERIFY(!table.MountAt(QStringLiteral("/srv/fixed"))->bRemovable);
        QVERIFY(!table.MountAt(QStringLiteral("/srv/fixed"))->IsSlow());
    }

    void userShares()
    {
        QTemporaryDir folder;
        QFile share(folder.filePath(QStringLiteral("music")));
        QVERIFY(share.open(QIODevice::WriteOnly));
        share.write("#VERSION 2\npath=/home/u/Music\ncomment=Songs\nusershare_acl=S-1-1-0:R\nguest_ok=n\n"
                    "sharename=Music\n");
        share.close();
        CShareEnumerator shares(folder.path());
        QCOMPARE(shares.Shares().size(), size_t(1));
        QCOMPARE(shares.Shares().front().strName, QStringLiteral("Music"));
        QVERIFY(shares.IsShared(QStringLiteral("/home/u/Music")));
        QVERIFY(shares.IsShared(QStringLiteral("/home/u/Music/")));
        QVERIFY(!shares.IsShared(QStringLiteral("/home/u/music"))); // names differ by case here
        QVERIFY(!shares.IsShared(QStringLiteral("/home/u")));
        QVERIFY(QFile::remove(folder.filePath(QStringLiteral("music"))));
        shares.Enumerate();
        QVERIFY(!shares.IsShared(QStringLiteral("/home/u/Music")));
        QVERIFY(CShareEnumerator(folder.filePath(QStringLiteral("missing"))).Shares().empty());
    }
};

TARNWICK_TEST_GUI_MAIN(TestFileTreeMounts)
#include "tst_filetreemounts.moc"
