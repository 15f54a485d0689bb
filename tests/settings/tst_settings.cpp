// The output settings: start, Config.ini load and save, bad files, the
// output summary.
#include "HostHooks.h"
#include "Settings.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

struct ShownMessage
{
    QString text;
    MessageIcon icon;
};

QString ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QList<ShownMessage> m_messages;
    QString m_configHome;

    // Back to the program's start values and a fresh, empty config folder.
    void FreshStart()
    {
        g_Settings = CSettings();
        m_messages.clear();
        QDir(m_configHome + QStringLiteral("/Tarnwick")).removeRecursively();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome));
    }

    QString Config() const { return m_configHome + QStringLiteral("/Tarnwick/Config.ini"); }

    void StartWith(const QByteArray& contents)
    {
        FreshStart();
        QDir().mkpath(m_configHome + QStringLiteral("/Tarnwick"));
        WriteAll(Config(), contents);
        StartSettings();
    }

private slots:
    void initTestCase()
    {
        m_configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        QDir().mkpath(QDir::homePath() + QStringLiteral("/Music"));
        SetMessageBoxHook([this](const QString& text, MessageIcon icon) {
            m_messages.append({text, icon});
            return kAnswerOk;
        });
    }

    void cleanupTestCase() { SetMessageBoxHook({}); }

    void freshStartCreatesEmptyFileAndKeepsDefaults()
    {
        FreshStart();
        StartSettings();
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(g_strAppDataFolder, m_configHome + QStringLiteral("/Tarnwick"));
        QVERIFY(QFile::exists(Config()));
        QCOMPARE(QFileInfo(Config()).size(), 0);
        QCOMPARE(g_Settings.Name, QStringLiteral("Untitled"));
        QCOMPARE(g_Settings.DesDir, QDir::homePath() + QStringLiteral("/Music/"));
        QCOMPARE(g_Settings.LastDir, QString());
        QCOMPARE(OutputSummaryText(),
                 QStringLiteral("  MP3:  CBR 128 kbps; Automatic Frequency; Automatic Channel;"));
    }

    void summary_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("freq");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("text");
        QTest::newRow("start values")
            << 11 << 0 << 0 << "CBR 128 kbps; Automatic Frequency; Automatic Channel;";
        QTest::newRow("192 automatic")
            << 13 << 0 << 0 << "CBR 192 kbps; Automatic Frequency; Automatic Channel;";
        QTest::newRow("224 automatic")
            << 14 << 0 << 0 << "CBR 224 kbps; Automatic Frequency; Automatic Channel;";
        QTest::newRow("44100 joint") << 11 << 8 << 3 << "CBR 128 kbps; 44100 Hz; Joint Stereo;";
        QTest::newRow("8 kbps 8000 mono") << 0 << 1 << 1 << "CBR   8 kbps;  8000 Hz; Mono;";
        QTest::newRow("320 48000 stereo") << 16 << 9 << 2 << "CBR 320 kbps; 48000 Hz; Stereo;";
        QTest::newRow("dual channel") << 7 << 5 << 4 << "CBR  64 kbps; 22050 Hz; Dual Channel;";
        QTest::newRow("unknown channel code") << 11 << 0 << 7 << "CBR 128 kbps; Automatic Frequency;";
    }

    void summary()
    {
        QFETCH(int, bits);
        QFETCH(int, freq);
        QFETCH(int, channel);
        QFETCH(QString, text);
        g_Settings.LameBits = static_cast<int16_t>(bits);
        g_Settings.Freq = static_cast<int16_t>(freq);
        g_Settings.LameChannel = static_cast<int16_t>(channel);
        QCOMPARE(OutputSummaryText(), QStringLiteral("  MP3:  ") + text);
    }

    void onlyLameBitsInFile()
    {
        // Index 14 of the bit-rate table is 224 kbit/s.
        StartWith("[MP3]\nLameBits=14\n");
        QCOMPARE(OutputSummaryText(),
                 QStringLiteral("  MP3:  CBR 224 kbps; Automatic Frequency; Automatic Channel;"));
        QCOMPARE(g_Settings.Name, QStringLiteral("Untitled"));
    }

    void saveWritesSevenKeysInOrderAndReadsBack()
    {
        FreshStart();
        StartSettings();
        g_Settings.SameAsSrc = 1;
        g_Settings.DesDir = QStringLiteral("/srv/out put/");
        g_Settings.Name = QStringLiteral("Mix ü");
        g_Settings.LameBits = 16;
        g_Settings.LameChannel = 3;
        g_Settings.Freq = 8;
        QCOMPARE(SaveSettings(QStringLiteral("/home/me/Music")), 1);
        QCOMPARE(ReadAll(Config()), QStringLiteral("[OUTPUT]\nSameAsSrc=1\nDesDir=/srv/out put/\n"
                                                   "LastDir=/home/me/Music\nName=Mix ü\n"
                                                   "\n[MP3]\nLameBits=16\nLameChannel=3\nFreq=8\n"));
        g_Settings = CSettings();
        QCOMPARE(LoadSettings(), 1);
        QCOMPARE(g_Settings.SameAsSrc, 1);
        QCOMPARE(g_Settings.DesDir, QStringLiteral("/srv/out put/"));
        QCOMPARE(g_Settings.LastDir, QStringLiteral("/home/me/Music"));
        QCOMPARE(g_Settings.Name, QStringLiteral("Mix ü"));
        QCOMPARE(g_Settings.LameBits, int16_t(16));
        QCOMPARE(g_Settings.LameChannel, int16_t(3));
        QCOMPARE(g_Settings.Freq, int16_t(8));
        QVERIFY(m_messages.isEmpty());
    }

    void noFolderSelectedStoresEmptyLastDir()
    {
        FreshStart();
        StartSettings();
        QCOMPARE(SaveSettings(QString()), 1);
        QVERIFY(ReadAll(Config()).contains(QStringLiteral("\nLastDir=\n")));
    }

    void valuesThatWouldNotReadBack()
    {
        FreshStart();
        StartSettings();
        QCOMPARE(SaveSettings(QStringLiteral("/music/trailing ")), 1);
        QCOMPARE(g_Settings.LastDir, QString());
        QCOMPARE(SaveSettings(QStringLiteral("/music/a\nName=evil")), 1);
        QVERIFY(!ReadAll(Config()).contains(QStringLiteral("evil")));
    }

    void loadedValues_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("freq");
        QTest::addColumn<int>("sameAsSrc");
        QTest::addColumn<QString>("name");
        const QByteArray long1100(1100, 'x');
        QTest::newRow("in range") << QByteArray("[MP3]\nLameBits=0\nLameChannel=4\nFreq=9\n") << 0 << 4 << 9
                                  << 0 << "Untitled";
        QTest::newRow("out of range")
            << QByteArray("[MP3]\nLameBits=17\nLameChannel=-1\nFreq=10\n") << 11 << 0 << 0 << 0 << "Untitled";
        QTest::newRow("not numbers") << QByteArray("[MP3]\nLameBits=abc\nLameChannel=\nFreq=3x\n"
                                                   "[OUTPUT]\nSameAsSrc=yes\n")
                                     << 11 << 0 << 0 << 0 << "Untitled";
        QTest::newRow("case and blanks")
            << QByteArray("[mp3]\n  lamebits = 13 \n[Output]\nsameassrc=1\nNAME= Song \n") << 13 << 0 << 0
            << 1 << "Song";
        QTest::newRow("duplicates first wins")
            << QByteArray("[MP3]\nLameBits=3\nLameBits=4\n[MP3]\nFreq=2\n") << 3 << 0 << 2 << 0 << "Untitled";
        QTest::newRow("lines without equals")
            << QByteArray("junk\n[MP3]\nLameBits\nnoise line\nFreq=5\n") << 11 << 0 << 5 << 0 << "Untitled";
        QTest::newRow("crlf and bom")
            << QByteArray("\xEF\xBB\xBF[OUTPUT]\r\nName=Crlf\r\n[MP3]\r\nLameBits=12\r\n") << 12 << 0 << 0
            << 0 << "Crlf";
        QTest::newRow("name sanitized")
            << QByteArray("[OUTPUT]\nName=a/b:c*?\n") << 11 << 0 << 0 << 0 << "a_b_c__";
        QTest::newRow("name empty") << QByteArray("[OUTPUT]\nName=\n") << 11 << 0 << 0 << 0 << "Untitled";
        QTest::newRow("name cut") << QByteArray("[OUTPUT]\nName=" + long1100 + "\n[MP3]\nFreq=4\n") << 11 << 0
                                  << 4 << 0 << "Untitled";
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i) {
            garbage.append(static_cast<char>((i * 7919 + 13) & 0xFF));
        }
        QTest::newRow("binary garbage")
            << QByteArray(garbage + "\n[MP3]\nLameBits=2\n") << 2 << 0 << 0 << 0 << "Untitled";
        QByteArray huge = "[MP3]\nLameChannel=2\n";
        for (int i = 0; i < 200000; ++i) {
            huge += "Key" + QByteArray::number(i) + "=value\n";
        }
        huge += "[OUTPUT]\nName=Huge\n";
        QTest::newRow("huge file") << huge << 11 << 2 << 0 << 0 << "Huge";
    }

    void loadedValues()
    {
        QFETCH(QByteArray, file);
        StartWith(file);
        QVERIFY(m_messages.isEmpty());
        QTEST(int(g_Settings.LameBits), "bits");
        QTEST(int(g_Settings.LameChannel), "channel");
        QTEST(int(g_Settings.Freq), "freq");
        QTEST(g_Settings.SameAsSrc, "sameAsSrc");
        QTEST(g_Settings.Name, "name");
    }

    void pathsFromOtherSystemsAreNotUsed()
    {
        StartWith("[OUTPUT]\nDesDir=C:\\Music\\\nLastDir=relative/dir\n");
        QCOMPARE(g_Settings.DesDir, DefaultOutputFolder());
        QCOMPARE(g_Settings.LastDir, QString());

        StartWith("[OUTPUT]\nDesDir=/data/out\nLastDir=/data/in\n");
        QCOMPARE(g_Settings.DesDir, QStringLiteral("/data/out/"));
        QCOMPARE(g_Settings.LastDir, QStringLiteral("/data/in"));

        StartWith("[OUTPUT]\nDesDir=/" + QByteArray(1100, 'd') + "\n");
        QCOMPARE(g_Settings.DesDir, DefaultOutputFolder());
    }

    void readOnlyFileIsReportedAndKept()
    {
        const QByteArray original = "[MP3]\nLameBits=5\n";
        StartWith(original);
        QFile::setPermissions(Config(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QCOMPARE(SaveSettings(QString()), 0);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("An error occurred while saving settings!"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Error);
        QCOMPARE(ReadAll(Config()).toUtf8(), original);
        QFile::setPermissions(Config(), QFile::ReadOwner | QFile::WriteOwner);
    }

    void appDataFolderThatCannotBeMade()
    {
        FreshStart();
        const QString blocker = QDir::homePath() + QStringLiteral("/not-a-folder");
        WriteAll(blocker, "file");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));
        StartSettings();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("Fail to create folder %1/Tarnwick !!").arg(blocker));
        QCOMPARE(m_messages[0].icon, MessageIcon::None);
        QCOMPARE(g_Settings.Name, QStringLiteral("Untitled"));
        QCOMPARE(OutputSummaryText(),
                 QStringLiteral("  MP3:  CBR 128 kbps; Automatic Frequency; Automatic Channel;"));
        // Nothing is written later and no further message appears.
        QCOMPARE(SaveSettings(QString()), 0);
        QCOMPARE(m_messages.size(), 1);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome));
    }

    void existingConfigIsNeverTruncatedAtStart()
    {
        StartWith("[MP3]\nFreq=7\n");
        StartSettings();
        QCOMPARE(ReadAll(Config()), QStringLiteral("[MP3]\nFreq=7\n"));
        QCOMPARE(int(g_Settings.Freq), 7);
    }

    void defaultOutputFolderFallsBack()
    {
        const QString music = QDir::homePath() + QStringLiteral("/Music");
        QDir(music).removeRecursively();
        QDir().mkpath(QDir::homePath() + QStringLiteral("/Desktop"));
        QCOMPARE(DefaultOutputFolder(), QDir::homePath() + QStringLiteral("/Desktop/"));
        QDir(QDir::homePath() + QStringLiteral("/Desktop")).removeRecursively();
        QCOMPARE(DefaultOutputFolder(), QDir::homePath() + QStringLiteral("/"));
        QDir().mkpath(music);
    }

    void sanitizeFileName()
    {
        QCOMPARE(SanitizeFileName(QStringLiteral("a/\"<>|*?:b\\c")), QStringLiteral("a________b\\c"));
    }
};

TARNWICK_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
