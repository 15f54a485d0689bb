// The file list of the main window: a report list with a row record per row
// (owner data, text and background colour per cell), click-to-sort with up
// to six keys, zebra colouring, hidden columns, in-place editing, row moves,
// state queries and a rotating hint while the list is empty.
#pragma once

#include "ReportLayoutBlocks.h"
#include "ReportTypes.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTreeView>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct CAudioFileInfo;
class QLineEdit;
class QMenu;
class ReportCellEditor;
class ReportHeaderView;
class ReportListModel;

// One complete row for AppendFilledRow: everything the information reader
// has read of a file, handed over in one piece.
struct ReportFilledRow
{
    QStringList cells;                      // texts by column; missing ones empty, extra ones dropped
    std::unique_ptr<CAudioFileInfo> record; // the row's audio file record; the row owns it from then on
    std::vector<std::pair<int, COLORREF>> textColors; // (column, colour) of cells not in the default colour
    int image = -1;                                   // image of column 0 in the row image list, -1 none
    // Runs on the UI thread inside the same call, right after the row is in
    // place (its index and record given): the place to add to the window's
    // totals, so they are only ever written on the UI thread.
    std::function<void(int row, const CAudioFileInfo* record)> onAppended;
};

// Threads. The control lives on the UI thread. The operations marked
// [any thread] below may be called from a worker thread (the file loader and
// the information reader): such a call is carried over to the UI thread as a
// blocking call and runs there, so no member is ever touched by two threads.
// A carried-over call never deadlocks: it returns at once without effect
// (-1, 0, false or null) when the worker's run has been stopped (see
// WorkerRun) or when the control is being destroyed. Every other operation
// belongs to the UI thread and does nothing when called elsewhere.
//
// Open edits. An edit ends only by the user's own actions on the UI thread.
// A carried-over call leaves an open edit alone, or cancels it (never
// commits it: a commit renames a file) when it writes the edited cell, moves
// or removes the edited row. Called on the UI thread, the row, column and
// text operations commit an open edit first.
//
// Records. A row's record set with a raw pointer (InsertRow's owner data,
// SetRowOwnerData(row, CAudioFileInfo*)) belongs to the caller, who frees it
// after the row is gone. A record handed over as a unique_ptr
// (AppendFilledRow, SetRowOwnerData(row, unique_ptr)) belongs to the row and
// is freed with it (RemoveRow, RemoveRows, destruction): never free it.
//
// The owner (m_pOwner) receives two application events (platform AppEvents):
// WM_LIST_SORTED, posted after every SortRange as AppEvent with wParam = the
// primary sort column and lParam = 1 ascending, 0 descending; and
// WM_LIST_CELL_EDITED, sent when an edit is committed with a changed text,
// after the text is stored and the edit is closed, as
// PayloadEvent<std::array<int32_t, 2>> holding {row, column}, with lParam =
// the control (CReportCtrl*).
class CReportCtrl : public QTreeView
{
    Q_OBJECT

public:
    explicit CReportCtrl(QWidget* parent = nullptr);
    // Stops carried-over calls that wait (they return without effect) and
    // frees every row. The loader must have ended before the control goes.
    ~CReportCtrl() override;

    // Receives WM_LIST_SORTED and WM_LIST_CELL_EDITED; set by the main window.
    QPointer<QObject> m_pOwner;
    // The sort keys, primary first, at most six; never empty. UI thread.
    std::vector<ColumnSortInfo> m_aSortKeys{ColumnSortInfo{0, 1}};
    // Column 0 text of the edited row, captured when an edit of column 0
    // begins; the owner reads it on WM_LIST_CELL_EDITED.
    QString m_strTextBeforeEdit;

    // While one lives on a worker thread, the carried-over calls made from
    // that thread give up (return at once without effect) as soon as
    // stopped() returns true. Create it on the worker thread around its run.
    // The UI thread must make stopped() true before it waits for the worker
    // (a carried-over call waits for the UI thread to serve it); stopped()
    // is asked on the worker thread every few milliseconds while a call waits,
    // so it reads only atomics (acquire loads).
    class WorkerRun
    {
    public:
        explicit WorkerRun(std::function<bool()> stopped);
        ~WorkerRun();
        WorkerRun(const WorkerRun&) = delete;
        WorkerRun& operator=(const WorkerRun&) = delete;
        // Whether the current thread's run has been stopped.
        static bool CurrentStopped();

    private:
        std::function<bool()> m_stopped;
        WorkerRun* m_previous;
    };

    // ---- Creation and look
    // Puts the control into parent with identifier id (kept as the object
    // name's number) on rect; a null rect fills the parent.
    bool Create(QWidget* parent, int id, const QRect& rect = QRect());
    // Full-row selection (0x20) and sub-item images (0x02) are always on.
    void AddExtendedStyle(uint32_t style);
    uint32_t GetExtendedStyle() const { return m_dwExtendedStyle; }
    void SetRowImageList(const QList<QIcon>& images);
    void SetHeaderImageList(const QList<QIcon>& images);
    // Header images for the sort arrows: 0 none, 1 ascending, 2 descending.
    static QList<QIcon> SortArrowImages();
    // The desktop's style is used as it is; this has no visible effect.
    void UseExplorerTheme();
    void SetHeaderClickable(bool on);
    bool IsHeaderClickable() const;
    // Gives the header of column an image (-1 none) on its right, or on its
    // left when asked. [any thread]
    void SetHeaderArrow(int column, int image, bool imageOnLeft = false);
    int GetHeaderArrow(int column) const;
    void SetEmptyHint(bool on);
    // The clock that picks the hint text (milliseconds; default GetTickCount).
    void SetHintClock(std::function<uint32_t()> clock);
    // The hint text of the last paint, empty when it showed no hint.
    QString LastHintText() const { return m_strLastHint; }

    // ---- Rows
    // Inserts a row at index (0..row count) → index or -1. mask (ITEM_*)
    // says which of text, image, state (ROW_SELECTED / ROW_FOCUSED bits of
    // state under stateMask) and owner data are used. [any thread]
    int InsertRow(uint32_t mask, int index, const QString& text, uint32_t state = 0, uint32_t stateMask = 0,
                  int image = -1, CAudioFileInfo* ownerData = nullptr);
    // Appends a row with all its texts, colours, image and record in one
    // call and runs row.onAppended → the new index, or -1 when the run was
    // stopped or the control is going (the record is then freed). An open
    // edit stays open. [any thread]
    int AppendFilledRow(ReportFilledRow row);
    int GetItemCount() const; // [any thread]
    // Rows appended at the end reach the view in batches within 50 ms (a
    // load then lays out and repaints the list a few times a second, not once
    // per row); every operation counts them at once. This shows them now.
    void ShowPendingRows();
    void SetRowOwnerData(int row, CAudioFileInfo* data); // [any thread]
    void SetRowOwnerData(int row, std::unique_ptr<CAudioFileInfo> data);
    CAudioFileInfo* GetRowOwnerData(int row) const; // [any thread]

    bool SetCellText(int row, int column, const QString& text); // [any thread]
    QString GetCellText(int row, int column) const;             // [any thread]
    // decimals >= 0: "%.<decimals>f"; decimals < 0: "%f" without its
    // trailing zeros and then its trailing '.'. Always in the C locale.
    bool SetCellNumber(int row, int column, double value, int decimals); // [any thread]
    static QString FormatCellNumber(double value, int decimals);
    bool SetCellImage(int row, int column, int image); // [any thread]
    int GetCellImage(int row, int column) const;       // -1: no image, or out of range

    // Ends an open edit (cancels it when row is the edited row, else
    // commits), selects row + 1 when asked, deletes the row.
    bool RemoveRow(int row, bool selectFollowing = false);
    // Removes every row whose state matches mask → the number removed.
    // Cancels an open edit. [any thread]
    int RemoveRows(uint32_t mask);
    // Moves row to target (clamped) → its new index, -1 for a bad row.
    // Selection and focus go with the row.
    int RelocateRow(int row, int target);
    int ShiftRow(int row, int delta);
    int RowToTop(int row);
    int RowToBottom(int row);

    uint32_t QueryRowState(int row) const;
    bool ApplyRowState(int row, uint32_t flags);
    int ApplyStateToRows(uint32_t mask, uint32_t flags);
    int CountRowsIn(uint32_t mask) const; // [any thread]
    int NextRowIn(uint32_t mask, int after) const;
    void FlipSelection();

    // ---- Columns
    // Inserts a column at index (0..column count) → index or -1. width < 0:
    // no width given (the column shows at the default section size).
    int AddColumn(int index, const QString& heading, int format = COLFMT_LEFT, int width = -1,
                  int subItem = -1);
    bool DeleteColumn(int column);
    // Inserts the file list's eighteen columns with the given layout (from
    // ReadColumnBlock), hiding the columns stored as hidden.
    void InsertListColumns(const std::vector<ReportColumnLayout>& layout);
    // The current layout for the "Column" block (hidden columns give their
    // saved width).
    std::vector<ReportColumnLayout> ColumnLayout() const;
    bool SetColumnShown(int column, bool shown);
    bool IsColumnShown(int column) const;
    int GetHiddenWidth(int column) const;
    int GetColumnTotal() const; // [any thread]
    // 0 for a hidden column.
    int GetColumnWidth(int column) const;
    // Refused (false) for a hidden column.
    bool SetColumnWidth(int column, int width);
    // Fits the column to its content; -1 fits every shown column.
    void FitColumn(int column = -1);
    void ScrollColumnIntoView(int column);

    // ---- Colours
    // colour kSystemColor gives the list's own text (background) colour. A
    // valid row and column paint one cell, a row with a column out of range
    // the row, a column with a row out of range the column, else every cell.
    void PaintCellText(int row, int column, COLORREF colour, bool redraw = true); // [any thread]
    void PaintCellBack(int row, int column, COLORREF colour, bool redraw = true); // [any thread]
    COLORREF GetCellTextColor(int row, int column) const;
    COLORREF GetCellBackColor(int row, int column) const;
    // Zebra backgrounds, the sort column tinted when asked, unusable rows in
    // their own colour. [any thread]
    void RepaintRowColors(bool highlightSortColumn);

    // ---- Sorting
    // Sorts rows first..last by m_aSortKeys, posts WM_LIST_SORTED and
    // recolours. [any thread]
    void SortRange(int first, int last, bool highlightSortColumn);
    // What a click on the header of column does (also called by the header).
    void HeaderClicked(int column);

    // ---- Editing
    void AllowEditing(bool on) { m_bEditing = on; }
    void MarkColumnEditable(int column);
    bool OpenEditor(int row, int column);
    // Ends an open edit → whether a changed text was stored.
    bool CloseEditor(bool commit);
    bool IsEditActive() const { return m_nEditRow >= 0; }
    int EditRow() const { return m_nEditRow; }
    int EditColumn() const { return m_nEditColumn; }
    QLineEdit* Editor() const;

    // ---- Header menu
    // One checkable entry per column (its heading; data = column index),
    // columns 0 and 1 greyed, separators before columns 3 and 12.
    void FillHeaderMenu(QMenu& menu) const;
    // A command from the header menu: toggles column id; other ids, and
    // hiding columns 0 and 1, are ignored.
    void OnHeaderCommand(int id);

    // Heap bytes of the row store (for the benchmark).
    size_t RowStoreBytes() const;

signals:
    // A header menu is about to open (for tests: the menu is modal).
    void HeaderMenuAboutToOpen(QMenu* menu);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Caller
    {
        User,  // the UI thread's own call: commits an open edit first
        Worker // carried over from a worker: leaves the edit alone or cancels it
    };

    bool OnUiThread() const;
    // Runs work on the UI thread for a worker → whether it ran.
    bool CarryOver(const std::function<void()>& work) const;
    bool RefuseOffThread(const char* operation) const;

    // Edit handling before an operation: User commits; Worker cancels when
    // the operation touches the edited cell (column -1: any cell of the row).
    void EndEditFor(Caller caller, int row, int column);
    void PlaceEditor();
    void OnEditorKey(int key);
    void OpenByMouse(QMouseEvent* event, bool doubleClick);

    int DoInsertRow(Caller caller, uint32_t mask, int index, const QString& text, uint32_t state,
                    uint32_t stateMask, int image, CAudioFileInfo* ownerData);
    int DoAppendFilledRow(ReportFilledRow& row);
    bool DoSetCellText(Caller caller, int row, int column, const QString& text);
    bool DoSetCellImage(Caller caller, int row, int column, int image);
    int DoRemoveRows(uint32_t mask);
    void DoSortRange(Caller caller, int first, int last, bool highlight);
    void DoRepaintRowColors(bool highlight);
    void DoPaintCell(int row, int column, COLORREF colour, bool redraw, bool text);
    void DoSetHeaderArrow(int column, int image, bool imageOnLeft);

    // Row states: the selected rows as flags, and rebuilding a selection.
    std::vector<char> SelectedFlags() const;
    uint32_t StateOf(int row, const std::vector<char>& selected, int current) const;
    void SelectFlagged(const std::vector<char>& selected);
    int CurrentRow() const;
    void SetCurrentRow(int row);
    void ScheduleAnnounce();
    void PermuteRows(int first, const std::vector<int>& order);

    void OnSectionMoved(int logical, int oldVisual, int newVisual);
    void OnHeaderMenu(const QPoint& pos);
    void ApplyPalette();

    ReportListModel* m_model = nullptr;
    ReportHeaderView* m_header = nullptr;

    bool m_bEmptyHint = false;
    std::vector<ReportColumnInfo> m_aColumns;
    std::vector<unsigned> m_aEditableColumns;
    ReportCellEditor* m_pEditor = nullptr;
    bool m_bEditing = false;
    int m_nEditRow = -1;
    int m_nEditColumn = -1;
    int m_nEditorAlign = 0;

    uint32_t m_dwExtendedStyle = 0x22;
    std::function<uint32_t()> m_hintClock;
    QString m_strLastHint;
    bool m_bMovingSections = false;
    bool m_bAnnounceScheduled = false;
    // The selected rows as flags, rebuilt after the selection changes.
    mutable std::vector<char> m_selectedCache;
    mutable bool m_bSelectionKnown = false;

    // Carried-over calls in progress, and whether the control is going.
    mutable std::atomic<int> m_nCallsInside{0};
    std::atomic<bool> m_bDestroying{false};
};
