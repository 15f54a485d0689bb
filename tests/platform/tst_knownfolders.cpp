// KnownFolders: XDG folders from the environment and the user-dirs file.
#include "KnownFolders.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

namespace {

// Sets or (for a null value) removes an environment variable.
void SetEnv(const char* name, const QByteArray& value)
{
    if (value.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, value);
    }
}

QString PasswdHome()
{
    const struct passwd* entry = ::getpwuid(::geteuid());
    return entry ? QDir::cleanPath(QFile::decodeName(entry->pw_dir)) : QString();
}

void WriteUserDirs(const QString& home, const QByteArray& lines)
{
    QFile file(home + QStringLiteral("/.config/user-dirs.dirs"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines);
}

} // namespace

class TestKnownFolders : public QObject
{
    Q_OBJECT

private:
    QByteArray m_home;
    QByteArray m_config;

private slots:
    void initTestCase()
    {
        m_home = qgetenv("HOME");
        m_config = qgetenv("XDG_CONFIG_HOME");
    }

    void cleanup()
    {
        qputenv("HOME", m_home);
        qputenv("XDG_CONFIG_HOME", m_config);
        QFile::remove(QFile::decodeName(m_config) + QStringLiteral("/user-dirs.dirs"));
        for (const char* sub : {"Music", "Desktop", "Tunes", "Schreibtisch"}) {
            QDir(QFile::decodeName(m_home) + u'/' + QLatin1String(sub)).removeRecursively();
        }
    }

    void homeFolder_data()
    {
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("/srv/someone") << QStringLiteral("/srv/someone");
        QTest::newRow("trailing slash") << QByteArray("/srv/someone//") << QStringLiteral("/srv/someone");
        QTest::newRow("root") << QByteArray("/") << QStringLiteral("/");
        QTest::newRow("relative: account's home") << QByteArray("someone") << PasswdHome();
        QTest::newRow("empty: account's home") << QByteArray("") << PasswdHome();
        QTest::newRow("unset: account's home") << QByteArray() << PasswdHome();
    }

    void homeFolder()
    {
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        SetEnv("HOME", home);
        QCOMPARE(KnownFolders::HomeFolder(), expected);
    }

    void appDataFolder_data()
    {
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("expected");
        QTest::newRow("XDG_CONFIG_HOME")
            << QByteArray("/home/a") << QByteArray("/etc/cfg") << QStringLiteral("/etc/cfg");
        QTest::newRow("trailing slash")
            << QByteArray("/home/a") << QByteArray("/etc/cfg/") << QStringLiteral("/etc/cfg");
        QTest::newRow("relative is ignored")
            << QByteArray("/home/a") << QByteArray("cfg") << QStringLiteral("/home/a/.config");
        QTest::newRow("empty is ignored")
            << QByteArray("/home/a") << QByteArray("") << QStringLiteral("/home/a/.config");
        QTest::newRow("unset") << QByteArray("/home/a/") << QByteArray() << QStringLiteral("/home/a/.config");
        QTest::newRow("home is root") << QByteArray("/") << QByteArray() << QStringLiteral("/.config");
    }

    void appDataFolder()
    {
        QFETCH(QByteArray, home);
        QFETCH(QByteArray, config);
        QFETCH(QString, expected);
        SetEnv("HOME", home);
        SetEnv("XDG_CONFIG_HOME", config);
        QCOMPARE(KnownFolders::AppDataFolder(), expected);
    }

    // Without a user-dirs file: ~/Music and ~/Desktop, only once they exist.
    void defaultMusicAndDesktop()
    {
        const QString home = QFile::decodeName(m_home);
        QCOMPARE(KnownFolders::MusicFolder(), QString());
        QCOMPARE(KnownFolders::DesktopFolder(), QString());
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Music")));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Desktop")));
        QCOMPARE(KnownFolders::MusicFolder(), home + QStringLiteral("/Music"));
        QCOMPARE(KnownFolders::DesktopFolder(), home + QStringLiteral("/Desktop"));
    }

    // The folders the desktop's user-dirs file names.
    void userDirs()
    {
        const QString home = QFile::decodeName(m_home);
        WriteUserDirs(home, "# written by a test\n"
                            "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"
                            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Music")));
        QCOMPARE(KnownFolders::MusicFolder(), QString());
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Tunes")));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Schreibtisch")));
        QCOMPARE(KnownFolders::MusicFolder(), home + QStringLiteral("/Tunes"));
        QCOMPARE(KnownFolders::DesktopFolder(), home + QStringLiteral("/Schreibtisch"));
    }

    // A file in place of the folder is no folder.
    void fileIsNoFolder()
    {
        const QString home = QFile::decodeName(m_home);
        QFile file(home + QStringLiteral("/Music"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(KnownFolders::MusicFolder(), QString());
        QVERIFY(file.remove());
    }
};

TARNWICK_TEST_MAIN(TestKnownFolders)
#include "tst_knownfolders.moc"
