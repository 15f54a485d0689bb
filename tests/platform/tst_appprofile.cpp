// AppProfile: layout values in ~/.config/Veltrane Corporation/Tarnwick.conf.
#include "AppProfile.h"
#include "IniFile.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <thread>

namespace {

QString ProfileFolder()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Veltrane Corporation");
}

QString ProfilePath()
{
    return ProfileFolder() + QStringLiteral("/Tarnwick.conf");
}

// What the file on disk holds, read without QSettings.
QString OnDisk(const QString& section, const QString& key)
{
    return IniFile::ReadString(section, key, QStringLiteral("(none)"), ProfilePath());
}

QByteArray AllBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

} // namespace

class TestAppProfile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(ProfilePath());
        QVERIFY(QDir().mkpath(ProfileFolder()));
    }

    void initSetsNames()
    {
        AppProfile::Init();
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Veltrane Corporation"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Tarnwick"));
        QCOMPARE(QSettings().fileName(), ProfilePath());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("diskSection");
        QTest::addColumn<QString>("diskKey");
        QTest::newRow("plain") << QStringLiteral("FileList") << QStringLiteral("ShowLeftTree")
                               << QStringLiteral("FileList") << QStringLiteral("ShowLeftTree");
        QTest::newRow("nested groups") << QStringLiteral("splt\\init_v103") << QStringLiteral("VertSplitPos")
                                       << QStringLiteral("splt") << QStringLiteral("init_v103\\VertSplitPos");
        QTest::newRow("unnamed value") << QStringLiteral("Position") << QString()
                                       << QStringLiteral("Position") << QStringLiteral("Default");
        QTest::newRow("identifier key")
            << QStringLiteral("Position") << QStringLiteral("{3F9D2A61-C0E8-4B57-A1D3-96E47C25B08F}")
            << QStringLiteral("Position") << QStringLiteral("%7B3F9D2A61-C0E8-4B57-A1D3-96E47C25B08F%7D");
    }

    void roundTrip()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, diskSection);
        QFETCH(QString, diskKey);

        QVERIFY(!AppProfile::HasValue(section, key));
        QCOMPARE(AppProfile::ReadInt(section, key, -7), -7);
        QVERIFY(AppProfile::ReadBinary(section, key).isNull());

        QVERIFY(AppProfile::WriteInt(section, key, -123456));
        QVERIFY(AppProfile::HasValue(section, key));
        QCOMPARE(AppProfile::ReadInt(section, key, 0), -123456);
        // Synced at once: the file already holds it, as a plain integer.
        QCOMPARE(OnDisk(diskSection, diskKey), QStringLiteral("-123456"));
        // An integer is no byte block.
        QVERIFY(AppProfile::ReadBinary(section, key).isEmpty());

        QVERIFY(AppProfile::WriteBinary(section, key, AllBytes()));
        QCOMPARE(AppProfile::ReadBinary(section, key), AllBytes());
        QVERIFY(OnDisk(diskSection, diskKey).contains(QStringLiteral("@ByteArray(")));
        // A byte block is no integer.
        QCOMPARE(AppProfile::ReadInt(section, key, 5), 5);
    }

    void backslashAndSlashAreOneSection()
    {
        QVERIFY(
            AppProfile::WriteInt(QStringLiteral("splt\\init_h104"), QStringLiteral("HorizSplitPos"), 300));
        QCOMPARE(AppProfile::ReadInt(QStringLiteral("splt/init_h104"), QStringLiteral("HorizSplitPos"), 0),
                 300);
        QSettings settings(ProfilePath(), QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("splt"));
        QCOMPARE(settings.childGroups(), QStringList{QStringLiteral("init_h104")});
    }

    void emptyByteBlock()
    {
        QVERIFY(AppProfile::WriteBinary(QStringLiteral("FileList"), QStringLiteral("SortEx"), QByteArray()));
        QVERIFY(AppProfile::HasValue(QStringLiteral("FileList"), QStringLiteral("SortEx")));
        QVERIFY(AppProfile::ReadBinary(QStringLiteral("FileList"), QStringLiteral("SortEx")).isEmpty());
    }

    // Values edited by hand: text that is no number gives the default, text
    // is no byte block.
    void handEditedValues()
    {
        QFile file(ProfilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[FileList]\nShowLeftTree=yes\nColumn=12\nBig=99999999999\n");
        file.close();
        QCOMPARE(AppProfile::ReadInt(QStringLiteral("FileList"), QStringLiteral("ShowLeftTree"), 7), 7);
        QCOMPARE(AppProfile::ReadInt(QStringLiteral("FileList"), QStringLiteral("Column"), 0), 12);
        QCOMPARE(AppProfile::ReadInt(QStringLiteral("FileList"), QStringLiteral("Big"), 1), 1);
        QVERIFY(AppProfile::ReadBinary(QStringLiteral("FileList"), QStringLiteral("Column")).isEmpty());
    }

    // The profile folder cannot be made: the write says so and leaves no
    // value behind.
    void writeFailure()
    {
        QVERIFY(QDir(ProfileFolder()).removeRecursively());
        QFile blocker(ProfileFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        QVERIFY(!AppProfile::WriteInt(QStringLiteral("FileList"), QStringLiteral("Lost"), 1));
        QVERIFY(!AppProfile::WriteBinary(QStringLiteral("FileList"), QStringLiteral("LostBlock"), "x"));
        QVERIFY(!AppProfile::HasValue(QStringLiteral("FileList"), QStringLiteral("Lost")));
        QVERIFY(!AppProfile::HasValue(QStringLiteral("FileList"), QStringLiteral("LostBlock")));

        QVERIFY(QFile::remove(ProfileFolder()));
        QVERIFY(AppProfile::WriteInt(QStringLiteral("FileList"), QStringLiteral("Kept"), 2));
        QCOMPARE(OnDisk(QStringLiteral("FileList"), QStringLiteral("Kept")), QStringLiteral("2"));
        QCOMPARE(OnDisk(QStringLiteral("FileList"), QStringLiteral("Lost")), QStringLiteral("(none)"));
    }

    // Writers and readers on several threads.
    void threads()
    {
        auto worker = [](int id) {
            const QString section = QStringLiteral("Thread%1").arg(id);
            for (int i = 0; i < 25; ++i) {
                AppProfile::WriteInt(section, QStringLiteral("Count"), i);
                AppProfile::ReadInt(section, QStringLiteral("Count"), -1);
            }
        };
        std::thread one(worker, 1);
        std::thread two(worker, 2);
        one.join();
        two.join();
        QCOMPARE(AppProfile::ReadInt(QStringLiteral("Thread1"), QStringLiteral("Count"), -1), 24);
        QCOMPARE(AppProfile::ReadInt(QStringLiteral("Thread2"), QStringLiteral("Count"), -1), 24);
    }
};

TARNWICK_TEST_MAIN(TestAppProfile)
#include "tst_appprofile.moc"
