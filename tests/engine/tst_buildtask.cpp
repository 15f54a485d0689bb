// Building a join task: output rate and channels, the expected total, the
// conversion decision, and the numbered output names.
#include "ConversionTask.h"
#include "OutputPath.h"
#include "TestMain.h"

#include <QTemporaryDir>

#include <unistd.h>

Q_DECLARE_METATYPE(std::vector<CFileToBeJoin>)

namespace {

CFileToBeJoin File(uint32_t rate, uint32_t channels, uint64_t samples, const char* name = "a.mp3")
{
    return CFileToBeJoin{QString::fromLatin1(name), rate, channels, samples};
}

} // namespace

class TestBuildTask : public QObject
{
    Q_OBJECT

private slots:
    void outputFormat_data();
    void outputFormat();
    void pickAutoRate_data();
    void pickAutoRate();
    void keepsFilesInOrder();
    void copiesShareTheFiles();
    void secondsOf();
    void uniquePath_data();
    void uniquePath();
    void uniquePathSkipsNamesTakenMeanwhile();
    void sameFileAsASource();
};

void TestBuildTask::outputFormat_data()
{
    QTest::addColumn<std::vector<CFileToBeJoin>>("files");
    QTest::addColumn<int>("channelMode");
    QTest::addColumn<int>("freqIndex");
    QTest::addColumn<uint>("rate");
    QTest::addColumn<uint>("channels");
    QTest::addColumn<bool>("convert");
    QTest::addColumn<qulonglong>("total");

    const auto stereo44 = File(44100, 2, 88200);
    QTest::newRow("same format, automatic")
        << std::vector<CFileToBeJoin>{stereo44, stereo44} << 0 << 0 << 44100u << 2u << false << 176400ull;
    QTest::newRow("mono 22050 among stereo 44100")
        << std::vector<CFileToBeJoin>{stereo44, File(22050, 1, 22050), stereo44} << 0 << 0 << 44100u << 2u
        << true << (88200ull + 88200ull + 88200ull);
    QTest::newRow("1,000,000 mono 22050 frames to stereo 44100")
        << std::vector<CFileToBeJoin>{File(44100, 2, 0), File(22050, 1, 1000000)} << 0 << 0 << 44100u << 2u
        << true << 4000000ull;
    QTest::newRow("largest rate 44101 gives 48000")
        << std::vector<CFileToBeJoin>{File(44101, 2, 100)} << 0 << 0 << 48000u << 2u << true << 108ull;
    QTest::newRow("largest rate 96000 gives 48000")
        << std::vector<CFileToBeJoin>{File(96000, 2, 96000)} << 0 << 0 << 48000u << 2u << true << 48000ull;
    QTest::newRow("all mono, automatic")
        << std::vector<CFileToBeJoin>{File(22050, 1, 1000), File(22050, 1, 1001)} << 0 << 0 << 22050u << 1u
        << false << 2001ull;
    QTest::newRow("mono forced") << std::vector<CFileToBeJoin>{stereo44} << 1 << 0 << 44100u << 1u << true
                                 << 44100ull;
    QTest::newRow("joint stereo code")
        << std::vector<CFileToBeJoin>{File(44100, 1, 10)} << 3 << 0 << 44100u << 2u << true << 20ull;
    QTest::newRow("dual channel code")
        << std::vector<CFileToBeJoin>{stereo44} << 4 << 0 << 44100u << 2u << false << 88200ull;
    QTest::newRow("fixed 32000 from the table")
        << std::vector<CFileToBeJoin>{File(48000, 2, 4800)} << 0 << 7 << 32000u << 2u << true << 3200ull;
    QTest::newRow("fixed 48000, index 9")
        << std::vector<CFileToBeJoin>{File(48000, 2, 4800)} << 0 << 9 << 48000u << 2u << false << 4800ull;
    QTest::newRow("index out of the table is automatic")
        << std::vector<CFileToBeJoin>{File(44100, 2, 4410)} << 0 << 42 << 44100u << 2u << false << 4410ull;
    QTest::newRow("total lowered to whole frames")
        << std::vector<CFileToBeJoin>{File(44100, 2, 3), File(11025, 1, 1)} << 0 << 0 << 44100u << 2u << true
        << 10ull;
    QTest::newRow("no files: stereo, nothing expected")
        << std::vector<CFileToBeJoin>{} << 0 << 0 << 8000u << 2u << false << 0ull;
    QTest::newRow("unusable file with no rate adds nothing")
        << std::vector<CFileToBeJoin>{File(0, 0, 500), File(44100, 2, 10)} << 0 << 0 << 44100u << 2u << true
        << 10ull;
}

void TestBuildTask::outputFormat()
{
    QFETCH(std::vector<CFileToBeJoin>, files);
    QFETCH(int, channelMode);
    QFETCH(int, freqIndex);

    const CConversionTask task = BuildTask(files, channelMode, freqIndex);
    QTEST(task.m_nOutputRate, "rate");
    QTEST(task.m_nOutputChannels, "channels");
    QTEST(task.m_bConvert != 0, "convert");
    QTEST(qulonglong(task.m_nTotalSamples), "total");
    QCOMPARE(task.m_nOutputFormat, kOutputFormatMp3);
    QCOMPARE(task.m_pFiles->size(), files.size());
}

void TestBuildTask::pickAutoRate_data()
{
    QTest::addColumn<uint>("source");
    QTest::addColumn<uint>("rate");
    QTest::newRow("0") << 0u << 8000u;
    QTest::newRow("8000") << 8000u << 8000u;
    QTest::newRow("8001") << 8001u << 11025u;
    QTest::newRow("22050") << 22050u << 22050u;
    QTest::newRow("44100") << 44100u << 44100u;
    QTest::newRow("44101") << 44101u << 48000u;
    QTest::newRow("96000") << 96000u << 48000u;
}

void TestBuildTask::pickAutoRate()
{
    QFETCH(uint, source);
    QTEST(PickAutoRate(source), "rate");
}

void TestBuildTask::keepsFilesInOrder()
{
    const CConversionTask task = BuildTask(
        {File(32000, 1, 5, "/m/one.mp3"), File(48000, 2, 9, "/m/two.mp3"), File(22050, 2, 7, "/m/three.mp3")},
        0, 0);
    QCOMPARE(task.m_pFiles->at(0).m_strPath, QStringLiteral("/m/one.mp3"));
    QCOMPARE(task.m_pFiles->at(2).m_strPath, QStringLiteral("/m/three.mp3"));
    QCOMPARE(task.m_pFiles->at(1).m_nSampleRate, 48000u);
    QCOMPARE(task.m_strSourcePath, QStringLiteral("/m/three.mp3"));
    QCOMPARE(task.m_nSourceRate, 48000u);
    QCOMPARE(task.m_nSourceChannels, 2u);
}

void TestBuildTask::copiesShareTheFiles()
{
    std::weak_ptr<std::vector<CFileToBeJoin>> files;
    {
        CConversionTask task = BuildTask({File(44100, 2, 10)}, 0, 0);
        task.m_bDriverBusy.store(1);
        files = task.m_pFiles;
        CConversionTask copy(task);
        QCOMPARE(copy.m_pFiles.get(), task.m_pFiles.get());
        QCOMPARE(copy.m_bDriverBusy.load(), 1);
        CConversionTask assigned;
        assigned = copy;
        QCOMPARE(assigned.m_nTotalSamples, task.m_nTotalSamples);
    }
    // A task that never ran frees its files.
    QVERIFY(files.expired());
}

void TestBuildTask::secondsOf()
{
    CConversionTask task = BuildTask({File(44100, 2, 10)}, 0, 0);
    QCOMPARE(task.SecondsOf(88200), 1.0f);
    task.m_nOutputChannels = 0;
    QCOMPARE(task.SecondsOf(88200), 0.0f);
}

void TestBuildTask::uniquePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("result");
    QTest::newRow("first free number")
        << QStringLiteral("Untitled.mp3") << QStringList{QStringLiteral("Untitled.mp3")}
        << QStringLiteral("Untitled (2).mp3");
    QTest::newRow("next free number")
        << QStringLiteral("Untitled.mp3")
        << QStringList{QStringLiteral("Untitled.mp3"), QStringLiteral("Untitled (2).mp3")}
        << QStringLiteral("Untitled (3).mp3");
    QTest::newRow("last dot only") << QStringLiteral("a.b.mp3") << QStringList{QStringLiteral("a.b.mp3")}
                                   << QStringLiteral("a.b (2).mp3");
    QTest::newRow("no extension") << QStringLiteral("joined") << QStringList{QStringLiteral("joined")}
                                  << QStringLiteral("joined (2)");
    QTest::newRow("dot in the folder only")
        << QStringLiteral("dir.d/joined") << QStringList{QStringLiteral("dir.d/joined")}
        << QStringLiteral("dir.d/joined (2)");
    QTest::newRow("spaces, quotes, letters")
        << QStringLiteral("Ça \"va\" ünd 'so'.mp3") << QStringList{QStringLiteral("Ça \"va\" ünd 'so'.mp3")}
        << QStringLiteral("Ça \"va\" ünd 'so' (2).mp3");
}

void TestBuildTask::uniquePath()
{
    QFETCH(QString, name);
    QFETCH(QStringList, existing);
    QFETCH(QString, result);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("dir.d"));
    for (const QString& file : existing) {
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    bool created = false;
    const QString unique = MakeUniquePath(dir.filePath(name), &created);
    QCOMPARE(unique, dir.filePath(result));
    QVERIFY(created);
    // The name is taken at once, empty, and the original is untouched.
    QCOMPARE(QFileInfo(unique).size(), 0);
    QCOMPARE(QFileInfo(dir.filePath(name)).size(), 1);
}

void TestBuildTask::uniquePathSkipsNamesTakenMeanwhile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Untitled.mp3"));
    QFile(path).open(QIODevice::WriteOnly);
    const QString first = MakeUniquePath(path);
    const QString second = MakeUniquePath(path);
    QCOMPARE(first, dir.filePath(QStringLiteral("Untitled (2).mp3")));
    QCOMPARE(second, dir.filePath(QStringLiteral("Untitled (3).mp3")));
}

void TestBuildTask::sameFileAsASource()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.mp3"));
    const QString b = dir.filePath(QStringLiteral("b.mp3"));
    for (const QString& path : {a, b}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const std::vector<CFileToBeJoin> files{File(44100, 2, 1), File(44100, 2, 1)};
    std::vector<CFileToBeJoin> sources = files;
    sources[0].m_strPath = a;
    sources[1].m_strPath = b;
    const QString hardLink = dir.filePath(QStringLiteral("hard.mp3"));
    const QString softLink = dir.filePath(QStringLiteral("soft.mp3"));
    QCOMPARE(::link(QFile::encodeName(b).constData(), QFile::encodeName(hardLink).constData()), 0);
    QVERIFY(QFile::link(a, softLink));

    QVERIFY(IsOneOfTheSources(a, sources));
    QVERIFY(IsOneOfTheSources(dir.path() + QStringLiteral("/./b.mp3"), sources));
    QVERIFY(IsOneOfTheSources(hardLink, sources));
    QVERIFY(IsOneOfTheSources(softLink, sources));
    QVERIFY(!IsOneOfTheSources(dir.filePath(QStringLiteral("new.mp3")), sources));
    QFile(dir.filePath(QStringLiteral("other.mp3"))).open(QIODevice::WriteOnly);
    QVERIFY(!IsOneOfTheSources(dir.filePath(QStringLiteral("other.mp3")), sources));
}

TARNWICK_TEST_MAIN(TestBuildTask)
#include "tst_buildtask.moc"
