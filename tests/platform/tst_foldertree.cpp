// Tests of creating a folder with its missing parents: what is made, what
// fails, and that folders which can never be made end the attempt.
#include "FolderTree.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace {

void MakeFile(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestFolderTree : public QObject
{
    Q_OBJECT

private slots:
    void createsUnderBase_data()
    {
        QTest::addColumn<QStringList>("folders"); // made before the call
        QTest::addColumn<QStringList>("files");   // made before the call
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QStringList>("missing"); // must not exist afterwards
        // Parents made before a failure stay, as with any partial tree.

        const QStringList none;
        QTest::newRow("two missing levels")
            << QStringList{QStringLiteral("a")} << none << QStringLiteral("a/b/c") << true << none;
        QTest::newRow("whole tree missing") << none << none << QStringLiteral("w/x/y/z") << true << none;
        QTest::newRow("existing folder")
            << QStringList{QStringLiteral("a/b")} << none << QStringLiteral("a/b") << true << none;
        QTest::newRow("trailing and doubled slashes")
            << none << none << QStringLiteral("p//q/r/") << true << none;
        QTest::newRow("names beyond ASCII")
            << none << none << QString::fromUtf8("M\xc3\xbcsik/\xe6\x97\xa5\xe6\x9c\xac") << true << none;
        QTest::newRow("file in the place of the folder")
            << none << QStringList{QStringLiteral("f")} << QStringLiteral("f") << false << none;
        QTest::newRow("file in the place of a parent")
            << QStringList{QStringLiteral("a")} << QStringList{QStringLiteral("a/f")}
            << QStringLiteral("a/f/x/y") << false << none;
        QTest::newRow("component longer than the system allows")
            << none << none << QStringLiteral("n/") + QString(300, QLatin1Char('k')) + QStringLiteral("/m")
            << false << QStringList{QStringLiteral("n/") + QString(300, QLatin1Char('k'))};
        QString deep;
        while (deep.size() < PATH_MAX)
            deep += QStringLiteral("d123456789/");
        QTest::newRow("path longer than the system allows")
            << none << none << deep << false << QStringList{QStringLiteral("d123456789")};
    }
    void createsUnderBase()
    {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, files);
        QFETCH(QString, path);
        QFETCH(bool, created);
        QFETCH(QStringList, missing);

        QTemporaryDir base;
        QVERIFY(base.isValid());
        QDir root(base.path());
        for (const QString& folder : folders)
            QVERIFY(root.mkpath(folder));
        for (const QString& file : files)
            MakeFile(root.filePath(file));

        const QString full = root.filePath(path);
        QCOMPARE(CreateFolderTree(full), created);
        if (created)
            QVERIFY(QFileInfo(full).isDir());
        for (const QString& name : missing)
            QVERIFY2(!QFileInfo::exists(root.filePath(name)), qPrintable(name));
    }

    // Folders that report "not found" even once their parent exists. Each
    // call must return false rather than make the parent over and over.
    void folderThatCannotBeMadeFails()
    {
        QVERIFY(QFileInfo(QStringLiteral("/proc")).isDir());
        QVERIFY(!CreateFolderTree(QStringLiteral("/proc/tarnwick-none/abc")));
        QVERIFY(!CreateFolderTree(QStringLiteral("/proc/tarnwick-none")));

        // A folder removed while still open stays reachable through its
        // descriptor, but nothing can be made inside it.
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString gone = base.filePath(QStringLiteral("gone"));
        QVERIFY(QDir().mkdir(gone));
        const int fd = ::open(QFile::encodeName(gone).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(fd >= 0);
        QVERIFY(QDir().rmdir(gone));
        const QString throughFd = QStringLiteral("/proc/self/fd/%1").arg(fd);
        const bool made = CreateFolderTree(throughFd + QStringLiteral("/x/y"));
        ::close(fd);
        QVERIFY(!made);
    }

    void relativeAndDegeneratePaths()
    {
        QVERIFY(!CreateFolderTree(QString()));
        QVERIFY(CreateFolderTree(QStringLiteral("/")));

        QTemporaryDir base;
        QVERIFY(base.isValid());
        // A NUL must not shorten the name to a folder that is then made.
        QVERIFY(!CreateFolderTree(base.filePath(QStringLiteral("a")) + QChar(0) + QStringLiteral("b")));
        QVERIFY(!QFileInfo::exists(base.filePath(QStringLiteral("a"))));

        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(base.path()));
        const bool made = CreateFolderTree(QStringLiteral("r/s"));
        QDir::setCurrent(previous);
        QVERIFY(made);
        QVERIFY(QFileInfo(base.filePath(QStringLiteral("r/s"))).isDir());
    }
};

TARNWICK_TEST_MAIN(TestFolderTree)
#include "tst_foldertree.moc"
