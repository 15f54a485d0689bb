// Gallery page: the file list filled with zebra rows and the sort column
// tinted, an unusable file, a red cell, the header arrows, a cell being
// edited, and the empty list with its hint.
#include "AudioFileInfo.h"
#include "CReportCtrl.h"
#include "Gallery.h"
#include "ListColumns.h"
#include "ReportLayoutBlocks.h"

#include <QApplication>
#include <QStyle>
#include <memory>

namespace {

struct SampleFile
{
    const char* name;
    const char* artist;
    const char* album;
    int track;
    int total;
    const char* title;
    const char* genre;
    const char* date;
    double sizeMB;
    const char* duration;
    uint32_t rate;
    uint32_t channels;
    int bitrate;
    bool unusable;
};

constexpr SampleFile kFiles[] = {
    {"01 - Morning Tide.mp3", "Harbour Lights", "Coastline", 1, 10, "Morning Tide", "Folk", "2019", 7.42,
     "00:04:03", 44100, 2, 256, false},
    {"02 - Salt and Rope.mp3", "Harbour Lights", "Coastline", 2, 10, "Salt and Rope", "Folk", "2019", 6.05,
     "00:03:18", 44100, 2, 256, false},
    {"03 - Lantern.mp3", "Harbour Lights", "Coastline", 3, 10, "Lantern", "Folk", "2019", 8.91, "00:04:52",
     44100, 2, 256, false},
    {"broken-download.mp3", "", "", 0, 0, "", "", "", 0.12, "00:00:00", 0, 0, 0, true},
    {"04 - Northern Road.mp3", "Harbour Lights", "Coastline", 4, 10, "Northern Road", "Folk", "2019", 5.77,
     "00:03:09", 44100, 2, 256, false},
    {"Interview part 1.mp3", "Radio Kestrel", "Evening Talk", 1, 2, "Interview, part 1", "Speech", "2021-03",
     21.3, "00:46:31", 22050, 1, 64, false},
    {"Interview part 2.mp3", "Radio Kestrel", "Evening Talk", 2, 2, "Interview, part 2", "Speech", "2021-03",
     19.8, "00:43:12", 22050, 1, 64, false},
    {"05 - Quiet Harbour.mp3", "Harbour Lights", "Coastline", 5, 10, "Quiet Harbour", "Folk", "2019", 6.66,
     "00:03:38", 44100, 2, 256, false},
    {"theme (live).mp3", "The Kettles", "Live at the Mill", 7, 12, "Theme (live)", "Rock", "2008", 9.14,
     "00:05:59", 48000, 2, 192, false},
    {"B-side.mp3", "The Kettles", "Singles", 2, 0, "B-side", "Rock", "2006", 3.50, "00:02:33", 48000, 2, 160,
     false},
};

QStringList CellsOf(const SampleFile& f)
{
    QStringList cells(COL_COUNT);
    cells[COL_NAME] = QString::fromUtf8(f.name);
    cells[COL_PATH] = QStringLiteral("/home/ada/Music/Incoming/");
    cells[COL_TYPE] = f.unusable ? QStringLiteral("Unknown") : QStringLiteral("MP3");
    cells[COL_TAG] = f.unusable ? QString() : QStringLiteral("ID3v2.3 ID3v1");
    cells[COL_ARTIST] = QString::fromUtf8(f.artist);
    cells[COL_ALBUM_ARTIST] = QString::fromUtf8(f.artist);
    cells[COL_ALBUM] = QString::fromUtf8(f.album);
    if (f.track > 0)
        cells[COL_TRACK] =
            f.total > 0 ? QString::asprintf("%d/%d", f.track, f.total) : QString::number(f.track);
    cells[COL_TITLE] = QString::fromUtf8(f.title);
    cells[COL_GENRE] = QString::fromUtf8(f.genre);
    cells[COL_DATE] = QString::fromUtf8(f.date);
    cells[COL_SIZE] = QString::asprintf("%.2f", f.sizeMB);
    cells[COL_MODIFIED] = QStringLiteral("2024/05/17 21:04:33");
    cells[COL_DURATION] = QString::fromUtf8(f.duration);
    cells[COL_FREQUENCY] = QString::asprintf("%u Hz", f.rate);
    cells[COL_CHANNEL] = f.channels == 1   ? QStringLiteral("1 (Mono)")
                         : f.channels == 2 ? QStringLiteral("2 (Stereo)")
                                           : QString::number(f.channels);
    cells[COL_BITRATE] = QString::asprintf("%d kbps", f.bitrate);
    return cells;
}

// What the main window does on WM_LIST_SORTED.
void ShowSortArrows(CReportCtrl* list)
{
    const ColumnSortInfo primary = list->m_aSortKeys.front();
    for (int c = 0; c < list->GetColumnTotal(); ++c)
        list->SetHeaderArrow(c, c == primary.nColumn ? (primary.bAscending ? 1 : 2) : 0);
}

CReportCtrl* MakeList(QWidget* window)
{
    auto* list = new CReportCtrl(window);
    list->InsertListColumns(ReadColumnBlock(QByteArray(), DefaultListColumnWidths()));
    list->setGeometry(window->rect());
    list->SetHeaderImageList(CReportCtrl::SortArrowImages());
    list->SetRowImageList({QApplication::style()->standardIcon(QStyle::SP_FileIcon)});
    list->SetEmptyHint(true);
    list->AllowEditing(true);
    list->MarkColumnEditable(COL_NAME);
    return list;
}

} // namespace

static void ReportCtrlPage(GalleryContext& ctx)
{
    QWidget* window = ctx.NewWindow(QStringLiteral("Report list"), QSize(1240, 300));
    CReportCtrl* list = MakeList(window);
    for (const SampleFile& f : kFiles) {
        ReportFilledRow row;
        row.cells = CellsOf(f);
        auto record = std::make_unique<CAudioFileInfo>();
        record->m_bUnusable = f.unusable ? 1 : 0;
        record->m_nTrack = static_cast<uint8_t>(f.track);
        record->m_nTrackTotal = static_cast<uint8_t>(f.total);
        record->m_dSizeMB = f.sizeMB;
        record->m_nSampleRate = f.rate;
        record->m_nChannels = f.channels;
        record->m_nBitrate = f.bitrate;
        row.record = std::move(record);
        if (f.unusable)
            row.textColors = {{COL_TYPE, RGB(255, 0, 0)}};
        row.image = 0;
        list->AppendFilledRow(std::move(row));
    }
    // A cell painted red by hand, as a command would.
    list->PaintCellText(6, COL_DURATION, RGB(255, 0, 0), false);

    list->m_aSortKeys = {{COL_ARTIST, 1}, {COL_TITLE, 1}};
    list->SortRange(0, list->GetItemCount() - 1, true);
    ShowSortArrows(list);
    list->ApplyRowState(2, ROW_SELECTED | ROW_FOCUSED);
    ctx.Shoot(window, QStringLiteral("reportctrl-filled"));

    // A click on Size(MB): numeric, ascending; a second one: descending.
    list->HeaderClicked(COL_SIZE);
    list->HeaderClicked(COL_SIZE);
    ShowSortArrows(list);
    list->ScrollColumnIntoView(COL_BITRATE);
    ctx.Shoot(window, QStringLiteral("reportctrl-size-descending"));

    // Album Artist hidden, the name being edited.
    list->SetColumnShown(COL_ALBUM_ARTIST, false);
    list->ScrollColumnIntoView(COL_NAME);
    list->OpenEditor(1, COL_NAME);
    ctx.Shoot(window, QStringLiteral("reportctrl-editing"));
    list->CloseEditor(false);

    QWidget* empty = ctx.NewWindow(QStringLiteral("Report list, empty"), QSize(700, 260));
    CReportCtrl* emptyList = MakeList(empty);
    auto now = std::make_shared<uint32_t>(0);
    emptyList->SetHintClock([now] { return *now; });
    ShowSortArrows(emptyList);
    ctx.Shoot(empty, QStringLiteral("reportctrl-empty-hint"));
    *now = 4 * 6000; // the longest tip, wrapped
    emptyList->viewport()->update();
    ctx.Shoot(empty, QStringLiteral("reportctrl-empty-hint-long"));
}
GALLERY_PAGE("reportctrl", ReportCtrlPage);
