// Benchmark of the file list with 100,000 rows of 18 columns of realistic
// texts: filling it (whole-row appends and cell by cell), sorting by a text
// and by a numeric column, recolouring, scrolling through it page by page,
// and the memory it takes. Prints one "name value unit" line per figure.
#include "AudioFileInfo.h"
#include "CReportCtrl.h"
#include "ListColumns.h"
#include "ReportLayoutBlocks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int kRows = 100000;

const char* const kWords[] = {"Harbour", "Lights",   "Morning", "Tide",    "Salt",   "Rope",
                              "Lantern", "Northern", "Road",    "Quiet",   "Kettle", "Mill",
                              "Winter",  "Garden",   "River",   "Stone",   "Glass",  "Echo",
                              "Silver",  "Ember",    "Violet",  "Thunder", "Paper",  "Crown"};
const char* const kGenres[] = {"Rock", "Folk", "Jazz", "Speech", "Classical", "Pop", "Electronic"};

// Resident memory of the process in KiB.
long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

class RowMaker
{
public:
    QString Words(int count)
    {
        QString text;
        for (int i = 0; i < count; ++i) {
            if (i)
                text += QLatin1Char(' ');
            text += QString::fromLatin1(kWords[m_pick(m_random) % std::size(kWords)]);
        }
        return text;
    }

    // The eighteen texts and the record of file number i.
    QStringList Cells(int i, CAudioFileInfo& info)
    {
        const QString artist = Words(2);
        const QString album = Words(2);
        const QString title = Words(3);
        const int track = 1 + static_cast<int>(m_pick(m_random) % 14);
        info.m_nTrack = static_cast<uint8_t>(track);
        info.m_nTrackTotal = 14;
        info.m_dSizeMB = static_cast<double>(m_pick(m_random) % 20000) / 1000.0;
        info.m_nSampleRate = (m_pick(m_random) % 3 == 0) ? 48000 : 44100;
        info.m_nChannels = 2;
        info.m_nBitrate = (m_pick(m_random) % 2) ? 256 : 192;
        info.m_dDuration = info.m_dSizeMB * 32;

        QStringList cells(COL_COUNT);
        cells[COL_NAME] = QString::asprintf("%02d - ", track) + title + QStringLiteral(".mp3");
        cells[COL_PATH] =
            QStringLiteral("/home/ada/Music/") + artist + QLatin1Char('/') + album + QLatin1Char('/');
        cells[COL_TYPE] = QStringLiteral("MP3");
        cells[COL_TAG] = QStringLiteral("ID3v2.3 ID3v1");
        cells[COL_ARTIST] = artist;
        cells[COL_ALBUM_ARTIST] = artist;
        cells[COL_ALBUM] = album;
        cells[COL_TRACK] = QString::asprintf("%d/14", track);
        cells[COL_TITLE] = title;
        cells[COL_GENRE] = QString::fromLatin1(kGenres[m_pick(m_random) % std::size(kGenres)]);
        cells[COL_DATE] = QString::number(1970 + i % 55);
        cells[COL_COMMENT] = Words(3);
        cells[COL_SIZE] = QString::asprintf("%.2f", info.m_dSizeMB);
        cells[COL_MODIFIED] = QString::asprintf("2024/%02d/%02d 21:04:33", 1 + i % 12, 1 + i % 28);
        const int seconds = static_cast<int>(info.m_dDuration);
        cells[COL_DURATION] =
            QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
        cells[COL_FREQUENCY] = QString::asprintf("%u Hz", info.m_nSampleRate);
        cells[COL_CHANNEL] = QStringLiteral("2 (Stereo)");
        cells[COL_BITRATE] = QString::asprintf("%d kbps", info.m_nBitrate);
        return cells;
    }

private:
    std::mt19937 m_random{20240517};
    std::uniform_int_distribution<unsigned> m_pick{0, 1u << 30};
};

void Print(const char* name, double value, const char* unit)
{
    std::printf("%s %.1f %s\n", name, value, unit);
    std::fflush(stdout);
}

void SetUp(CReportCtrl& list)
{
    list.InsertListColumns(ReadColumnBlock(QByteArray(), DefaultListColumnWidths()));
    list.resize(1200, 700);
    list.show();
}

// Lays out and paints the list once, as the window's next paint would.
void PaintOnce(CReportCtrl& list)
{
    list.ShowPendingRows();
    list.viewport()->grab();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long startKiB = ResidentKiB();
    QElapsedTimer timer;

    // Making the texts alone, so the figures below can be read without it.
    {
        RowMaker dry;
        timer.start();
        for (int i = 0; i < kRows; ++i) {
            CAudioFileInfo info;
            const QStringList cells = dry.Cells(i, info);
            Q_UNUSED(cells);
        }
        Print("list_make_texts_100k_rows", timer.elapsed(), "ms");
    }

    // Filling through whole-row appends, as the loader does (texts included).
    auto list = std::make_unique<CReportCtrl>();
    SetUp(*list);
    RowMaker maker;
    timer.start();
    for (int i = 0; i < kRows; ++i) {
        ReportFilledRow row;
        auto record = std::make_unique<CAudioFileInfo>();
        row.cells = maker.Cells(i, *record);
        row.record = std::move(record);
        row.image = 0;
        list->AppendFilledRow(std::move(row));
    }
    PaintOnce(*list);
    Print("list_insert_100k_rows", timer.elapsed(), "ms");
    const long filledKiB = ResidentKiB();
    Print("list_process_memory_100k_rows", filledKiB / 1024.0, "MiB");
    Print("list_memory_per_row", (filledKiB - startKiB) * 1024.0 / kRows, "bytes");
    Print("list_row_store_per_row", static_cast<double>(list->RowStoreBytes()) / kRows, "bytes");

    list->m_aSortKeys = {{COL_TITLE, 1}};
    timer.start();
    list->SortRange(0, kRows - 1, true);
    PaintOnce(*list);
    Print("list_sort_text_100k_rows", timer.elapsed(), "ms");

    list->m_aSortKeys = {{COL_SIZE, 0}};
    timer.start();
    list->SortRange(0, kRows - 1, true);
    PaintOnce(*list);
    Print("list_sort_numeric_100k_rows", timer.elapsed(), "ms");

    timer.start();
    list->RepaintRowColors(false);
    PaintOnce(*list);
    Print("list_repaint_row_colors_100k_rows", timer.elapsed(), "ms");

    // Scrolling page by page from the top to the bottom.
    QScrollBar* bar = list->verticalScrollBar();
    const int page = std::max(1, bar->pageStep());
    qint64 worstNs = 0;
    int pages = 0;
    timer.start();
    // --no-scroll leaves the (long) scrolling run out, for profiling the rest.
    const int last = app.arguments().contains(QStringLiteral("--no-scroll")) ? -1 : bar->maximum();
    for (int value = 0; value <= last; value += page) {
        QElapsedTimer frame;
        frame.start();
        bar->setValue(value);
        list->viewport()->grab();
        worstNs = std::max(worstNs, frame.nsecsElapsed());
        ++pages;
    }
    const double scrollMs = static_cast<double>(timer.elapsed());
    Print("list_scroll_pages", pages, "pages");
    Print("list_scroll_whole_list", scrollMs, "ms");
    Print("list_scroll_frame_mean", pages ? scrollMs / pages : 0.0, "ms");
    Print("list_scroll_frame_worst", static_cast<double>(worstNs) / 1e6, "ms");

    timer.start();
    list->RemoveRows(ROW_ANY);
    Print("list_remove_all_100k_rows", timer.elapsed(), "ms");
    list.reset();

    // Filling cell by cell, as a reader addressing the row by index would.
    auto cellwise = std::make_unique<CReportCtrl>();
    SetUp(*cellwise);
    RowMaker again;
    timer.start();
    for (int i = 0; i < kRows; ++i) {
        auto record = std::make_unique<CAudioFileInfo>();
        const QStringList cells = again.Cells(i, *record);
        const int row = cellwise->InsertRow(ITEM_TEXT | ITEM_STATE, cellwise->GetItemCount(), QString());
        cellwise->SetRowOwnerData(row, std::move(record));
        for (int c = 0; c < COL_COUNT; ++c)
            cellwise->SetCellText(row, c, cells[c]);
    }
    PaintOnce(*cellwise);
    Print("list_insert_100k_rows_cell_by_cell", timer.elapsed(), "ms");
    return 0;
}
