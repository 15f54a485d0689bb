// Stream figures of a file as the list and the command line read them.
#include "Fixtures.h"
#include "StreamReader.h"
#include "TestMain.h"

#include <QTemporaryDir>

#include <sys/stat.h>

class TestStreamReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    void WriteBytes(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(InitInfoDecoder());
    }

    void cleanupTestCase() { ExitInfoDecoder(); }

    void figures_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("seconds");
        QTest::newRow("44100 stereo") << 44100 << 2 << 2.0;
        QTest::newRow("22050 mono") << 22050 << 1 << 1.5;
        QTest::newRow("48000 stereo short") << 48000 << 2 << 0.25;
        QTest::newRow("8000 mono") << 8000 << 1 << 3.0;
    }

    void figures()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, seconds);
        FixtureSpec recipe;
        recipe.rate = rate;
        recipe.channels = channels;
        recipe.seconds = seconds;
        const QString path = Path("figures ü.mp3");
        QVERIFY(MakeMp3(path, recipe));
        CAudioFileInfo info;
        bool known = false;
        QCOMPARE(ReadStreamFigures(g_hInfoDecoder, path, info, nullptr, &known), StreamOpenResult::Ok);
        QVERIFY(known);
        QCOMPARE(info.m_bUnusable, 0);
        QCOMPARE(info.m_nSampleRate, uint32_t(rate));
        QCOMPARE(info.m_nChannels, uint32_t(channels));
        // Files with an Info header report their exact length.
        QCOMPARE(info.m_nSamples, int64_t(recipe.Frames() * channels));
        QCOMPARE(info.m_dDuration, double(recipe.Frames()) / rate);
    }

    void unusable_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("result");
        QTest::newRow("missing") << Path("missing.mp3") << int(StreamOpenResult::NotReadable);
        QTest::newRow("directory") << Path("dir.mp3") << int(StreamOpenResult::NotReadable);
        QTest::newRow("named pipe") << Path("pipe.mp3") << int(StreamOpenResult::NotReadable);
        QTest::newRow("link to a device") << Path("zero.mp3") << int(StreamOpenResult::NotReadable);
        QTest::newRow("empty file") << Path("empty.mp3") << int(StreamOpenResult::Trouble);
        QTest::newRow("random bytes") << Path("random.mp3") << int(StreamOpenResult::Trouble);
    }

    void unusable()
    {
        QFETCH(QString, path);
        QFETCH(int, result);
        QDir().mkpath(Path("dir.mp3"));
        ::mkfifo(QFile::encodeName(Path("pipe.mp3")).constData(), 0600);
        QFile::link(QStringLiteral("/dev/zero"), Path("zero.mp3"));
        WriteBytes(Path("empty.mp3"), QByteArray());
        QByteArray random;
        for (int i = 0; i < 20000; ++i) {
            random.append(char((i * 2654435761u) >> 13));
        }
        WriteBytes(Path("random.mp3"), random);

        CAudioFileInfo info;
        QString trouble;
        QCOMPARE(int(ReadStreamFigures(g_hInfoDecoder, path, info, &trouble)), result);
        QCOMPARE(info.m_bUnusable, 1);
        QCOMPARE(info.m_dDuration, 0.0);
        if (result == int(StreamOpenResult::Trouble)) {
            QVERIFY2(trouble.startsWith(QStringLiteral("Trouble with mpg123: ")), qPrintable(trouble));
        } else {
            QVERIFY(trouble.isEmpty());
        }
    }
};

TARNWICK_TEST_MAIN(TestStreamReader)
#include "tst_streamreader.moc"
