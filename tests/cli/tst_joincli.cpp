// tarnwick-join end to end, as a user runs it: exit codes, messages, files.
#include "Fixtures.h"
#include "TestMain.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

QString JoinProgram()
{
    return TestEnv::BinDir() + QStringLiteral("/tarnwick-join");
}

Result RunJoin(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty()) {
        p.setWorkingDirectory(workDir);
    }
    p.start(JoinProgram(), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class TestJoinCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_a, m_b, m_mono;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QString Make(const QString& name, int rate, int channels, double seconds)
    {
        FixtureSpec recipe;
        recipe.rate = rate;
        recipe.channels = channels;
        recipe.seconds = seconds;
        QString error;
        const QString path = Path(name);
        if (!MakeMp3(path, recipe, &error)) {
            qWarning("%s", qPrintable(error));
        }
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_a = Make(QStringLiteral("a.mp3"), 44100, 2, 1.0);
        m_b = Make(QStringLiteral("b b.mp3"), 44100, 2, 0.5);
        m_mono = Make(QStringLiteral("ü mono.mp3"), 22050, 1, 0.5);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("no input") << QStringList{QStringLiteral("-o"), QStringLiteral("x.mp3")} << "no input";
        QTest::newRow("no output") << QStringList{QStringLiteral("a.mp3")} << "-o OUTPUT";
        QTest::newRow("bad bit rate")
            << QStringList{QStringLiteral("-b"), QStringLiteral("100"), QStringLiteral("-o"),
                           QStringLiteral("x.mp3"), QStringLiteral("a.mp3")}
            << "'100'";
        QTest::newRow("bad channels") << QStringList{QStringLiteral("--channels=quad"), QStringLiteral("-o"),
                                                     QStringLiteral("x.mp3"), QStringLiteral("a.mp3")}
                                      << "'quad'";
        QTest::newRow("bad rate") << QStringList{QStringLiteral("--rate"), QStringLiteral("44000"),
                                                 QStringLiteral("-o"), QStringLiteral("x.mp3"),
                                                 QStringLiteral("a.mp3")}
                                  << "'44000'";
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--fast"), QStringLiteral("-o"),
                                                       QStringLiteral("x.mp3"), QStringLiteral("a.mp3")}
                                        << "'--fast'";
        QTest::newRow("missing value")
            << QStringList{QStringLiteral("a.mp3"), QStringLiteral("-o")} << "'-o'";
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        const Result r = RunJoin(args, m_dir.path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    void help()
    {
        const Result r = RunJoin({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("Usage: tarnwick-join")));
    }

    void joinsAndPrintsSummary()
    {
        const QString out = Path(QStringLiteral("joined.mp3"));
        const Result r = RunJoin({QStringLiteral("-o"), out, m_a, m_b});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("%1\t1.500 s\t44100 Hz\t2\t128 kbps\n").arg(out));
        QVERIFY(r.err.contains(QStringLiteral("info: Joining status: OK.")));
        QCOMPARE(DecodeMp3(out).Frames(), 66150LL);
        // Without config the command line creates no Config.ini.
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/.config/Tarnwick/Config.ini")));
    }

    void optionsAndQuiet()
    {
        const QString out = Path(QStringLiteral("mono.mp3"));
        const Result r = RunJoin({QStringLiteral("-q"), QStringLiteral("--overwrite"), QStringLiteral("-b"),
                                  QStringLiteral("64"), QStringLiteral("--channels"), QStringLiteral("mono"),
                                  QStringLiteral("--rate"), QStringLiteral("22050"), QStringLiteral("-o"),
                                  out, m_a, m_mono});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("%1\t1.500 s\t22050 Hz\t1\t64 kbps\n").arg(out));
    }

    void storedSettingsApplyWhenNotGiven()
    {
        const QString configDir = QDir::homePath() + QStringLiteral("/.config/Tarnwick");
        QDir().mkpath(configDir);
        QFile config(configDir + QStringLiteral("/Config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[MP3]\nLameBits=13\nFreq=9\n");
        config.close();
        const QString out = Path(QStringLiteral("stored.mp3"));
        const Result r = RunJoin({QStringLiteral("--overwrite"), QStringLiteral("-o"), out, m_a});
        QFile::remove(config.fileName());
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.endsWith(QStringLiteral("\t48000 Hz\t2\t192 kbps\n")), qPrintable(r.out));
    }

    void existingOutputGetsNumberedName()
    {
        const QString out = Path(QStringLiteral("twice.mp3"));
        QCOMPARE(RunJoin({QStringLiteral("-o"), out, m_a}).exitCode, 0);
        const Result r = RunJoin({QStringLiteral("-o"), out, m_b});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith(Path(QStringLiteral("twice (2).mp3")) + QLatin1Char('\t')),
                 qPrintable(r.out));
        QCOMPARE(DecodeMp3(out).Frames(), 44100LL);
    }

    void relativeOutput()
    {
        const Result r = RunJoin({QStringLiteral("--overwrite"), QStringLiteral("-o"),
                                  QStringLiteral("rel.mp3"), QStringLiteral("a.mp3")},
                                 m_dir.path());
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(Path(QStringLiteral("rel.mp3")) + QLatin1Char('\t')));
    }

    void outputThatIsAnInputIsRefused()
    {
        const QString copy = Path(QStringLiteral("self.mp3"));
        QFile::copy(m_a, copy);
        const QByteArray before = [&] {
            QFile f(copy);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        const Result r = RunJoin({QStringLiteral("--overwrite"), QStringLiteral("-o"), copy, copy, m_b});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("error: Joining status: ERROR.")));
        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void unusableInputs()
    {
        const QString garbage = Path(QStringLiteral("garbage.mp3"));
        QFile g(garbage);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(5000, '\x5a'));
        g.close();
        const QString missing = Path(QStringLiteral("missing.mp3"));
        const QString out = Path(QStringLiteral("skip.mp3"));

        Result r = RunJoin({QStringLiteral("-o"), out, m_a, missing, garbage});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("error: %1: no such file").arg(missing)));
        QVERIFY(r.err.contains(QStringLiteral("error: %1: ").arg(garbage)));
        QVERIFY(!QFile::exists(out));

        r = RunJoin({QStringLiteral("--skip-unusable"), QStringLiteral("-o"), out, m_a, missing, garbage,
                     m_dir.path()});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.contains(QStringLiteral("warning: skipped %1: no such file").arg(missing)));
        QVERIFY(r.err.contains(QStringLiteral("warning: skipped %1: not a regular file").arg(m_dir.path())));
        QVERIFY(r.out.startsWith(out + QStringLiteral("\t1.000 s")));
    }

    void onlyUnusableInputsJoinNothing()
    {
        const QString out = Path(QStringLiteral("none.mp3"));
        const Result r = RunJoin({QStringLiteral("--skip-unusable"), QStringLiteral("-o"), out,
                                  Path(QStringLiteral("nothing.mp3"))});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("error: Joining status: ERROR.")));
        QVERIFY(!QFile::exists(out));
    }

    void listPrintsTheListCells()
    {
        const QString garbage = Path(QStringLiteral("list-garbage.mp3"));
        QFile g(garbage);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(3000, '\x33'));
        g.close();

        Result r = RunJoin({QStringLiteral("--list"), m_a, m_mono});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("Name\tPath\tType\tTag\tArtist\tAlbum Artist\tAlbum\tTrack\tTitle\tGenre\t"
                                          "Date\tComment\tSize(MB)\tLast Modified\tDuration\tFrequency\tChannel\tBitrate"));
        const QStringList mono = lines[2].split(QLatin1Char('\t'));
        QCOMPARE(mono.size(), 18);
        QCOMPARE(mono[0], QStringLiteral("ü mono.mp3"));
        QCOMPARE(mono[1], m_dir.path() + QLatin1Char('/'));
        QCOMPARE(mono[15], QStringLiteral("22050 Hz"));
        QCOMPARE(mono[16], QStringLiteral("1 (Mono)"));

        r = RunJoin({QStringLiteral("--list"), m_a, garbage});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("error: Trouble with mpg123: ")), qPrintable(r.err));
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(2).split(QLatin1Char('\t')).value(2),
                 QStringLiteral("Unknown"));
    }

    void terminateActsAsCancel()
    {
        const QString longInput = Make(QStringLiteral("long.mp3"), 44100, 2, 240.0);
        const QString out = Path(QStringLiteral("cancelled.mp3"));
        QProcess p;
        p.start(JoinProgram(),
                {QStringLiteral("--overwrite"), QStringLiteral("-o"), out, longInput, longInput});
        QVERIFY(p.waitForStarted());
        // Wait until the join is under way, then stop it as Ctrl+C would.
        QString err;
        for (int i = 0; i < 200 && !err.contains(QStringLiteral("Destination:")); ++i) {
            p.waitForReadyRead(50);
            err += QString::fromUtf8(p.readAllStandardError());
        }
        QVERIFY2(err.contains(QStringLiteral("Destination:")), qPrintable(err));
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(30000));
        err += QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains(QStringLiteral("error: Joining status: ERROR.")), qPrintable(err));
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(QFile::exists(out));
    }
};

TARNWICK_TEST_MAIN(TestJoinCli)
#include "tst_joincli.moc"
