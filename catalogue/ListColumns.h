// The eighteen columns of the file list: index, header text, alignment and
// default width, shared by the list control and the readers that fill it.
#pragma once

#include <array>

enum ListColumn : int
{
    COL_NAME = 0,
    COL_PATH,
    COL_TYPE,
    COL_TAG,
    COL_ARTIST,
    COL_ALBUM_ARTIST,
    COL_ALBUM,
    COL_TRACK,
    COL_TITLE,
    COL_GENRE,
    COL_DATE,
    COL_COMMENT,
    COL_SIZE,
    COL_MODIFIED,
    COL_DURATION,
    COL_FREQUENCY,
    COL_CHANNEL,
    COL_BITRATE,
    COL_COUNT
};

enum class ColumnAlign
{
    Left,
    Right
};

struct ListColumnInfo
{
    int index;
    const char* header;
    ColumnAlign align;
    int width; // default width in pixels
};

inline constexpr std::array<ListColumnInfo, COL_COUNT> kListColumns = {{
    {COL_NAME, "Name", ColumnAlign::Left, 150},
    {COL_PATH, "Path", ColumnAlign::Left, 150},
    {COL_TYPE, "Type", ColumnAlign::Right, 65},
    {COL_TAG, "Tag", ColumnAlign::Right, 100},
    {COL_ARTIST, "Artist", ColumnAlign::Left, 110},
    {COL_ALBUM_ARTIST, "Album Artist", ColumnAlign::Left, 110},
    {COL_ALBUM, "Album", ColumnAlign::Left, 110},
    {COL_TRACK, "Track", ColumnAlign::Right, 85},
    {COL_TITLE, "Title", ColumnAlign::Left, 150},
    {COL_GENRE, "Genre", ColumnAlign::Left, 70},
    {COL_DATE, "Date", ColumnAlign::Right, 65},
    {COL_COMMENT, "Comment", ColumnAlign::Left, 110},
    {COL_SIZE, "Size(MB)", ColumnAlign::Right, 85},
    {COL_MODIFIED, "Last Modified", ColumnAlign::Right, 120},
    {COL_DURATION, "Duration", ColumnAlign::Right, 88},
    {COL_FREQUENCY, "Frequency", ColumnAlign::Right, 96},
    {COL_CHANNEL, "Channel", ColumnAlign::Right, 88},
    {COL_BITRATE, "Bitrate", ColumnAlign::Right, 88},
}};

// The columns the list sorts by the record's numbers instead of the cell text.
inline constexpr bool IsNumericColumn(int column)
{
    return column == COL_TRACK || column == COL_SIZE || column == COL_FREQUENCY || column == COL_CHANNEL ||
           column == COL_BITRATE;
}
