// The audio file record and the list column table.
#include "AudioFileInfo.h"
#include "ListColumns.h"
#include "TestMain.h"

class TestAudioFileInfo : public QObject
{
    Q_OBJECT

private slots:
    void freshRecordIsZero()
    {
        const CAudioFileInfo info;
        QCOMPARE(info.m_bUnusable, 0);
        QCOMPARE(info.m_nTrack, uint8_t(0));
        QCOMPARE(info.m_nTrackTotal, uint8_t(0));
        QCOMPARE(info.m_nSampleRate, 0u);
        QCOMPARE(info.m_nChannels, 0u);
        QCOMPARE(info.m_nSamples, int64_t(0));
        QCOMPARE(info.m_nBitrate, 0);
        QCOMPARE(info.m_dSizeMB, 0.0);
        QCOMPARE(info.m_dDuration, 0.0);
    }

    void duration()
    {
        QCOMPARE(CAudioFileInfo::DurationOf(4410000, 44100, 2), 50.0);
        QCOMPARE(CAudioFileInfo::DurationOf(4410000, 0, 2), 0.0);
        // The count is taken as unsigned.
        QVERIFY(CAudioFileInfo::DurationOf(-1, 44100, 2) > 1e14);
    }

    void columnTable()
    {
        static const char* const headers[] = {
            "Name",     "Path",          "Type",     "Tag",       "Artist",  "Album Artist",
            "Album",    "Track",         "Title",    "Genre",     "Date",    "Comment",
            "Size(MB)", "Last Modified", "Duration", "Frequency", "Channel", "Bitrate"};
        static const int widths[] = {150, 150, 65,  100, 110, 110, 110, 85, 150,
                                     70,  65,  110, 85,  120, 88,  96,  88, 88};
        QCOMPARE(int(kListColumns.size()), 18);
        for (int i = 0; i < COL_COUNT; ++i) {
            QCOMPARE(kListColumns[i].index, i);
            QCOMPARE(QLatin1String(kListColumns[i].header), QLatin1String(headers[i]));
            QCOMPARE(kListColumns[i].width, widths[i]);
            const bool left = i <= COL_PATH || (i >= COL_ARTIST && i <= COL_ALBUM) || i == COL_TITLE ||
                              i == COL_GENRE || i == COL_COMMENT;
            QCOMPARE(kListColumns[i].align, left ? ColumnAlign::Left : ColumnAlign::Right);
            QCOMPARE(IsNumericColumn(i), i == 7 || i == 12 || i == 15 || i == 16 || i == 17);
        }
    }
};

TARNWICK_TEST_MAIN(TestAudioFileInfo)
#include "tst_audiofileinfo.moc"
