// The records and flags of the file list: colours, sort keys, column and row
// records, row-state flags and list-item masks.
#pragma once

#include <cstdint>
#include <vector>

struct CAudioFileInfo;

// A colour as 0x00BBGGRR, the layout the list's colour tables use.
using COLORREF = uint32_t;

inline constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr int GetRValue(COLORREF c)
{
    return static_cast<int>(c & 0xFF);
}
inline constexpr int GetGValue(COLORREF c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
inline constexpr int GetBValue(COLORREF c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}

// Asks the paint operations for the list's own text or background colour.
inline constexpr COLORREF kSystemColor = 0xFFFFFFFFu;
// The list draws on a light palette of its own, whatever the desktop theme:
// these are its window-text and window colours.
inline constexpr COLORREF kWindowTextColor = RGB(0, 0, 0);
inline constexpr COLORREF kWindowColor = RGB(255, 255, 255);

// One sort key; also the 8-byte unit of the stored "SortEx" block.
struct ColumnSortInfo
{
    int32_t nColumn = 0;
    int32_t bAscending = 1; // 1 ascending, 0 descending

    friend bool operator==(const ColumnSortInfo&, const ColumnSortInfo&) = default;
};

// The control's record of one column.
struct ReportColumnInfo
{
    bool m_bShown = true;
    int m_nSavedWidth = 0; // width when it was hidden; for a column inserted with a width, that width
};

// The control's record of one row: the owner's data and one text and one
// background colour per column.
struct ReportRowInfo
{
    CAudioFileInfo* m_pOwnerData = nullptr; // the row's audio file record
    std::vector<COLORREF> m_aTextColors;
    std::vector<COLORREF> m_aBackColors;
};

// Row-state flags: what the state queries return and the state operations
// apply. A row's state holds exactly one flag of each pair.
enum RowState : uint32_t
{
    ROW_ANY = 0x01,        // matches every row (as a mask only)
    ROW_SELECTED = 0x02,   // query: selected; operation: select
    ROW_UNSELECTED = 0x04, // query: not selected; operation: deselect
    ROW_CHECKED = 0x08,    // query: has a check mark (never here)
    ROW_UNCHECKED = 0x10,  // query: has no check mark (every row here)
    ROW_FOCUSED = 0x20,    // query: has the focus; operation: give it the focus
    ROW_UNFOCUSED = 0x40,  // query: has no focus; operation: take the focus away
};

// A mask matches a row when it holds ROW_ANY or all its bits are in the state.
inline constexpr bool RowMatches(uint32_t state, uint32_t mask)
{
    return (mask & ROW_ANY) != 0 || (state & mask) == mask;
}

// Which parts of InsertRow's arguments are used.
enum ReportItemMask : uint32_t
{
    ITEM_TEXT = 0x01,
    ITEM_IMAGE = 0x02,
    ITEM_PARAM = 0x04, // the owner data
    ITEM_STATE = 0x08, // state and state mask (ROW_SELECTED, ROW_FOCUSED)
};

// Column alignment formats of AddColumn.
enum ReportColumnFormat : int
{
    COLFMT_LEFT = 0,
    COLFMT_RIGHT = 1,
    COLFMT_CENTER = 2,
};

// Background colours of RepaintRowColors.
inline constexpr COLORREF kUnusableRowColor = RGB(255, 225, 241);
inline constexpr COLORREF kOddSortColumnColor = RGB(235, 238, 250);
inline constexpr COLORREF kOddRowColor = RGB(243, 245, 252);
inline constexpr COLORREF kEvenSortColumnColor = RGB(247, 248, 253);
inline constexpr COLORREF kEvenRowColor = RGB(255, 255, 255);

// At most this many sort keys are kept.
inline constexpr int kMaxSortKeys = 6;
