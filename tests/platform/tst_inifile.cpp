// IniFile: reads and in-place edits of hand-written and generated INI files.
#include "IniFile.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The null byte array stands for "no file".
void PutFile(const QString& path, const QByteArray& content)
{
    QFile::remove(path);
    if (content.isNull()) {
        return;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray GetFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

mode_t Mode(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A UTF-16LE file with its byte-order mark, as Windows editors save "Unicode".
QByteArray Utf16File(const QString& text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
}

QString Repeat(char c, int count)
{
    return QString(count, QLatin1Char(c));
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString FilePath() const { return m_dir.filePath(QStringLiteral("Config.ini")); }

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QString>("expected");

        const int max = IniFile::kMaxValueChars;
        const QString dflt = QStringLiteral("(default)");
        const QString s = QStringLiteral("S");
        const QString k = QStringLiteral("K");

        QTest::newRow("plain") << QByteArray("[OUTPUT]\nName=Song\n") << QStringLiteral("OUTPUT")
                               << QStringLiteral("Name") << max << QStringLiteral("Song");
        QTest::newRow("case-insensitive") << QByteArray("[output]\nNAME=Song\n") << QStringLiteral("Output")
                                          << QStringLiteral("name") << max << QStringLiteral("Song");
        QTest::newRow("case-insensitive non-ASCII")
            << QByteArray("[\xC3\x84rger]\nSCHL\xC3\x9C"
                          "SSEL=M\xC3\xBCsic\n")
            << QString::fromUtf8("\xC3\xA4rger") << QString::fromUtf8("schl\xC3\xBCssel") << max
            << QString::fromUtf8("M\xC3\xBCsic");
        QTest::newRow("value trimmed")
            << QByteArray("[S]\nK =   a  b \t\n") << s << k << max << QStringLiteral("a  b");
        QTest::newRow("indented lines")
            << QByteArray("  [ S ]  \n\t K\t= v\n") << s << k << max << QStringLiteral("v");
        QTest::newRow("CRLF") << QByteArray("[S]\r\nK=v\r\nL=w\r\n") << s << k << max << QStringLiteral("v");
        QTest::newRow("lone CR") << QByteArray("[S]\rK=v\rL=w\r") << s << k << max << QStringLiteral("v");
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF[S]\nK=v\n") << s << k << max << QStringLiteral("v");
        QTest::newRow("BOM and CRLF")
            << QByteArray("\xEF\xBB\xBF[S]\r\nK=v\r\n") << s << k << max << QStringLiteral("v");
        QTest::newRow("no final line end") << QByteArray("[S]\nK=v") << s << k << max << QStringLiteral("v");
        QTest::newRow("duplicate key: first wins")
            << QByteArray("[S]\nK=first\nK=second\n") << s << k << max << QStringLiteral("first");
        QTest::newRow("repeated section")
            << QByteArray("[S]\nA=1\n[T]\nK=t\n[s]\nK=s\n") << s << k << max << QStringLiteral("s");
        QTest::newRow("key of another section")
            << QByteArray("[A]\nK=a\n[B]\nK=b\n") << QStringLiteral("B") << k << max << QStringLiteral("b");
        QTest::newRow("key before any section") << QByteArray("K=none\n[S]\n") << s << k << max << dflt;
        QTest::newRow("missing key") << QByteArray("[S]\nL=1\n") << s << k << max << dflt;
        QTest::newRow("missing section") << QByteArray("[T]\nK=1\n") << s << k << max << dflt;
        QTest::newRow("empty file") << QByteArray("") << s << k << max << dflt;
        QTest::newRow("no file") << QByteArray() << s << k << max << dflt;
        QTest::newRow("line without '='")
            << QByteArray("[S]\nK\nK v\nK=v\n") << s << k << max << QStringLiteral("v");
        QTest::newRow("only a line without '='") << QByteArray("[S]\nK\n") << s << k << max << dflt;
        QTest::newRow("comment") << QByteArray("[S]\n;K=c\n# K=d\n") << s << k << max << dflt;
        QTest::newRow("unclosed header")
            << QByteArray("[S]\n[T\nK=v\n") << s << k << max << QStringLiteral("v");
        QTest::newRow("empty value is a value") << QByteArray("[S]\nK=  \n") << s << k << max << QString();
        QTest::newRow("'=' inside the value")
            << QByteArray("[S]\nK=a=b\n") << s << k << max << QStringLiteral("a=b");
        QTest::newRow("no quote removal")
            << QByteArray("[S]\nK=\" q \"\n") << s << k << max << QStringLiteral("\" q \"");
        QTest::newRow("value ends at NUL")
            << QByteArray("[S]\nK=ab\0cd\n", 12) << s << k << max << QStringLiteral("ab");
        QTest::newRow("invalid UTF-8") << QByteArray("[S]\nK=a\xFF"
                                                     "b\n")
                                       << s << k << max
                                       << QString::fromUtf8("a\xEF\xBF\xBD"
                                                            "b");
        QTest::newRow("UTF-16 file") << Utf16File(QStringLiteral("[S]\nK=v\n")) << s << k << max << dflt;

        const QByteArray longValue = "[S]\nK=" + QByteArray(2000, 'x') + "\n";
        QTest::newRow("long value cut") << longValue << s << k << max << Repeat('x', 1023);
        QTest::newRow("long value, larger buffer") << longValue << s << k << 1024 << Repeat('x', 1024);
        QTest::newRow("exactly 1023")
            << QByteArray("[S]\nK=" + QByteArray(1023, 'y')) << s << k << max << Repeat('y', 1023);
        QTest::newRow("cut before a surrogate pair")
            << QByteArray("[S]\nK=" + QByteArray(1022, 'x') + "\xF0\x9F\x98\x80") << s << k << max
            << Repeat('x', 1022);
        QTest::newRow("no buffer") << QByteArray("[S]\nK=v\n") << s << k << 0 << QString();

        QByteArray garbage(256 * 1024, Qt::Uninitialized);
        QRandomGenerator random(4711);
        for (char& c : garbage) {
            c = static_cast<char>(random.bounded(256));
        }
        QTest::newRow("binary garbage") << garbage << s << k << max << dflt;
        QTest::newRow("key after binary garbage")
            << QByteArray(garbage + "\n[S]\nK=v\n") << s << k << max << QStringLiteral("v");

        QByteArray huge;
        for (int i = 0; i < 100000; ++i) {
            huge += "[Section" + QByteArray::number(i) + "]\nKey=some value of a line\n";
        }
        huge += "[S]\nK=" + QByteArray(4 * 1024 * 1024, 'z') + "\n";
        QTest::newRow("megabytes") << huge << s << k << 5 << QStringLiteral("zzzzz");
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, maxChars);
        QFETCH(QString, expected);

        PutFile(FilePath(), content);
        const QString value =
            IniFile::ReadString(section, key, QStringLiteral("(default)"), FilePath(), maxChars);
        QCOMPARE(value, expected);
        QCOMPARE(GetFile(FilePath()), content.isNull() ? QByteArray() : content);
    }

    void readDefaultIsCut()
    {
        QCOMPARE(IniFile::ReadString(QStringLiteral("S"), QStringLiteral("K"), Repeat('d', 2000),
                                     m_dir.filePath(QStringLiteral("none.ini"))),
                 Repeat('d', 1023));
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("after");

        const QString s = QStringLiteral("S");
        const QString t = QStringLiteral("T");
        const QString a = QStringLiteral("A");
        const QString b = QStringLiteral("B");
        const QString v = QStringLiteral("9");

        QTest::newRow("update in place")
            << QByteArray("[S]\nA=1\nB=2\n") << s << a << v << true << QByteArray("[S]\nA=9\nB=2\n");
        QTest::newRow("update keeps spelling and blanks")
            << QByteArray("[s]\n  a =  1\n") << s << a << v << true << QByteArray("[s]\n  a =  9\n");
        QTest::newRow("update in a repeated section") << QByteArray("[S]\nX=1\n[T]\n[S]\nA=1\n") << s << a
                                                      << v << true << QByteArray("[S]\nX=1\n[T]\n[S]\nA=9\n");
        QTest::newRow("duplicate: first updated")
            << QByteArray("[S]\nA=1\nA=2\n") << s << a << v << true << QByteArray("[S]\nA=9\nA=2\n");
        QTest::newRow("new key after the last key line")
            << QByteArray("[S]\nA=1\n\n; next\n[T]\nX=1\n") << s << b << v << true
            << QByteArray("[S]\nA=1\nB=9\n\n; next\n[T]\nX=1\n");
        QTest::newRow("new key in a section without keys") << QByteArray("[S]\n; note\n[T]\n") << s << b << v
                                                           << true << QByteArray("[S]\nB=9\n; note\n[T]\n");
        QTest::newRow("new key, no final line end")
            << QByteArray("[S]\nA=1") << s << b << v << true << QByteArray("[S]\nA=1\nB=9\n");
        QTest::newRow("new section at the end")
            << QByteArray("[S]\nA=1\n") << t << b << v << true << QByteArray("[S]\nA=1\n\n[T]\nB=9\n");
        QTest::newRow("new section, no final line end")
            << QByteArray("; c") << t << b << v << true << QByteArray("; c\n\n[T]\nB=9\n");
        QTest::newRow("new section after a blank line")
            << QByteArray("[S]\nA=1\n\n") << t << b << v << true << QByteArray("[S]\nA=1\n\n[T]\nB=9\n");
        QTest::newRow("empty file") << QByteArray("") << t << b << v << true << QByteArray("[T]\nB=9\n");
        QTest::newRow("file created") << QByteArray() << t << b << v << true << QByteArray("[T]\nB=9\n");
        QTest::newRow("CRLF kept") << QByteArray("[S]\r\nA=1\r\n") << s << b << v << true
                                   << QByteArray("[S]\r\nA=1\r\nB=9\r\n");
        QTest::newRow("CRLF kept for a new section") << QByteArray("[S]\r\nA=1\r\n") << t << b << v << true
                                                     << QByteArray("[S]\r\nA=1\r\n\r\n[T]\r\nB=9\r\n");
        QTest::newRow("CRLF update") << QByteArray("[S]\r\nA=1\r\nB=2\r\n") << s << a << v << true
                                     << QByteArray("[S]\r\nA=9\r\nB=2\r\n");
        QTest::newRow("BOM kept") << QByteArray("\xEF\xBB\xBF[S]\nA=1\n") << s << a << v << true
                                  << QByteArray("\xEF\xBB\xBF[S]\nA=9\n");
        QTest::newRow("case-insensitive match")
            << QByteArray("[output]\nname=x\n") << QStringLiteral("OUTPUT") << QStringLiteral("Name")
            << QStringLiteral("y") << true << QByteArray("[output]\nname=y\n");
        QTest::newRow("other lines kept")
            << QByteArray("junk\n[S]\nno equals\n;A=c\nUnknown = u \n\xFF\xFE\x01\nA=1\n") << s << a << v
            << true << QByteArray("junk\n[S]\nno equals\n;A=c\nUnknown = u \n\xFF\xFE\x01\nA=9\n");
        QTest::newRow("UTF-8 text") << QByteArray() << s << QStringLiteral("DesDir")
                                    << QString::fromUtf8("/home/j\xC3\xBCrgen/M\xC3\xBCsik/") << true
                                    << QByteArray("[S]\nDesDir=/home/j\xC3\xBCrgen/M\xC3\xBCsik/\n");
        QTest::newRow("same value") << QByteArray("[S]\nA = 9\n") << s << a << v << true
                                    << QByteArray("[S]\nA = 9\n");

        const QByteArray kept("[S]\nA=1\n");
        QTest::newRow("CR in value") << kept << s << a << QStringLiteral("1\r2") << false << kept;
        QTest::newRow("LF in value") << kept << s << a << QStringLiteral("1\n[X]") << false << kept;
        QTest::newRow("NUL in value")
            << kept << s << a << QString(QStringLiteral("1") + QChar(u'\0')) << false << kept;
        QTest::newRow("LF in key") << kept << s << QStringLiteral("A\nB") << v << false << kept;
        QTest::newRow("CR in section") << kept << QStringLiteral("S\r") << a << v << false << kept;
        QTest::newRow("NUL in section") << kept << QString(QChar(u'\0')) << a << v << false << kept;
        QTest::newRow("'=' in key") << kept << s << QStringLiteral("A=B") << v << false << kept;
        QTest::newRow("empty key") << kept << s << QStringLiteral(" ") << v << false << kept;
        QTest::newRow("empty section") << kept << QString() << a << v << false << kept;
        QTest::newRow("refused, no file")
            << QByteArray() << s << a << QStringLiteral("\n") << false << QByteArray();
        QTest::newRow("UTF-16 file never rewritten") << Utf16File(QStringLiteral("[S]\nA=1\n")) << s << a << v
                                                     << false << Utf16File(QStringLiteral("[S]\nA=1\n"));
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, ok);
        QFETCH(QByteArray, after);

        PutFile(FilePath(), before);
        QCOMPARE(IniFile::WriteString(section, key, value, FilePath()), ok);
        QCOMPARE(GetFile(FilePath()), after);
        QCOMPARE(QFileInfo::exists(FilePath()), !after.isNull());
        if (ok) {
            QCOMPARE(IniFile::ReadString(section, key, QString(), FilePath()), value.trimmed());
        }
    }

    // A freshly written file reads back every key in the order written.
    void writeSequence()
    {
        QFile::remove(FilePath());
        const QStringList keys{QStringLiteral("SameAsSrc"), QStringLiteral("DesDir"),
                               QStringLiteral("LastDir"), QStringLiteral("Name")};
        for (const QString& key : keys) {
            QVERIFY(
                IniFile::WriteString(QStringLiteral("OUTPUT"), key, key + QStringLiteral("-v"), FilePath()));
        }
        QVERIFY(IniFile::WriteString(QStringLiteral("MP3"), QStringLiteral("LameBits"), QStringLiteral("11"),
                                     FilePath()));
        QVERIFY(
            IniFile::WriteString(QStringLiteral("OUTPUT"), QStringLiteral("LastDir"), QString(), FilePath()));
        QCOMPARE(GetFile(FilePath()),
                 QByteArray("[OUTPUT]\nSameAsSrc=SameAsSrc-v\nDesDir=DesDir-v\nLastDir=\n"
                            "Name=Name-v\n\n[MP3]\nLameBits=11\n"));
    }

    void readOnlyFileUntouched_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0444") << 0444;
        QTest::newRow("0400") << 0400;
        QTest::newRow("0000") << 0000;
    }

    // Refused by its mode bits, also when the tests run as root.
    void readOnlyFileUntouched()
    {
        QFETCH(int, mode);
        const QByteArray content("[S]\nA=1\n");
        PutFile(FilePath(), content);
        QCOMPARE(::chmod(QFile::encodeName(FilePath()).constData(), static_cast<mode_t>(mode)), 0);
        QVERIFY(
            !IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("2"), FilePath()));
        QVERIFY(
            !IniFile::WriteString(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2"), FilePath()));
        QCOMPARE(Mode(FilePath()), static_cast<mode_t>(mode));
        ::chmod(QFile::encodeName(FilePath()).constData(), 0644);
        QCOMPARE(GetFile(FilePath()), content);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Config.ini")});
    }

    void permissionsKept()
    {
        PutFile(FilePath(), "[S]\nA=1\n");
        QCOMPARE(::chmod(QFile::encodeName(FilePath()).constData(), 0640), 0);
        QVERIFY(
            IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("2"), FilePath()));
        QCOMPARE(Mode(FilePath()), static_cast<mode_t>(0640));
        QCOMPARE(GetFile(FilePath()), QByteArray("[S]\nA=2\n"));
    }

    void symlinkFollowed()
    {
        const QString target = m_dir.filePath(QStringLiteral("real.ini"));
        const QString link = m_dir.filePath(QStringLiteral("link.ini"));
        PutFile(target, "[S]\nA=1\n");
        QFile::remove(link);
        QVERIFY(QFile::link(target, link));

        QCOMPARE(IniFile::ReadString(QStringLiteral("S"), QStringLiteral("A"), QString(), link),
                 QStringLiteral("1"));
        QVERIFY(IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("2"), link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(GetFile(target), QByteArray("[S]\nA=2\n"));

        // A link whose target does not exist yet: the target is created.
        QFile::remove(target);
        QVERIFY(IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("3"), link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(GetFile(target), QByteArray("[S]\nA=3\n"));
    }

    // A file that exists but cannot be read is never replaced.
    void unreadableFileNeverReplaced()
    {
        const QString fifo = m_dir.filePath(QStringLiteral("fifo.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        QVERIFY(!IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"), fifo));
        QCOMPARE(IniFile::ReadString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("d"), fifo),
                 QStringLiteral("d"));
        QVERIFY(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));

        const QString folder = m_dir.filePath(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"), folder));
        QVERIFY(QFileInfo(folder).isDir());

        // Too large to be a settings file (sparse, so it costs no disk).
        const QString big = m_dir.filePath(QStringLiteral("big.ini"));
        PutFile(big, "[S]\nA=1\n");
        QVERIFY(QFile::resize(big, 65 * 1024 * 1024));
        QVERIFY(!IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("2"), big));
        QCOMPARE(QFileInfo(big).size(), qint64(65 * 1024 * 1024));
        QCOMPARE(GetFile(big).left(8), QByteArray("[S]\nA=1\n"));

        const QString loop = m_dir.filePath(QStringLiteral("loop.ini"));
        QVERIFY(QFile::link(loop, loop));
        QVERIFY(!IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"), loop));
        QVERIFY(QFileInfo(loop).isSymLink());
    }

    void missingFolder()
    {
        const QString path = m_dir.filePath(QStringLiteral("no/such/folder/Config.ini"));
        QVERIFY(!IniFile::WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"), path));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("no"))));
    }

    // Writers on several threads never lose each other's keys.
    void concurrentWriters()
    {
        QFile::remove(FilePath());
        const QString path = FilePath();
        auto writer = [path](const QString& section) {
            for (int i = 0; i < 40; ++i) {
                IniFile::WriteString(section, QStringLiteral("Key%1").arg(i), QString::number(i), path);
            }
        };
        std::thread one(writer, QStringLiteral("One"));
        std::thread two(writer, QStringLiteral("Two"));
        one.join();
        two.join();
        for (const QString& section : {QStringLiteral("One"), QStringLiteral("Two")}) {
            for (int i = 0; i < 40; ++i) {
                QCOMPARE(IniFile::ReadString(section, QStringLiteral("Key%1").arg(i), QString(), path),
                         QString::number(i));
            }
        }
    }
};

TARNWICK_TEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
