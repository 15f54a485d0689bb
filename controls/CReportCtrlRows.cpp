// The file list control: rows, their records, texts, images, states and
// colours, and the information reader's whole-row append.
#include "AudioFileInfo.h"
#include "CReportCtrl.h"
#include "ReportListModel.h"
#include "TextFormat.h"

#include <QTimer>
#include <algorithm>

namespace {

// Appended rows reach the view at most this often.
constexpr int kAnnounceDelayMs = 50;

} // namespace

// ---- Row states

std::vector<char> CReportCtrl::SelectedFlags() const
{
    const size_t rows = static_cast<size_t>(m_model->StoredRows());
    if (!m_bSelectionKnown) {
        m_selectedCache.assign(rows, 0);
        for (const QItemSelectionRange& range : selectionModel()->selection()) {
            const int top = std::max(range.top(), 0);
            const int bottom = std::min(range.bottom(), static_cast<int>(rows) - 1);
            for (int r = top; r <= bottom; ++r)
                m_selectedCache[static_cast<size_t>(r)] = 1;
        }
        m_bSelectionKnown = true;
    }
    // Rows appended since are not selected.
    if (m_selectedCache.size() != rows)
        m_selectedCache.resize(rows, 0);
    return m_selectedCache;
}

int CReportCtrl::CurrentRow() const
{
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CReportCtrl::SetCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    else
        selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
}

uint32_t CReportCtrl::StateOf(int row, const std::vector<char>& selected, int current) const
{
    uint32_t state = ROW_UNCHECKED;
    state |= (static_cast<size_t>(row) < selected.size() && selected[static_cast<size_t>(row)])
                 ? ROW_SELECTED
                 : ROW_UNSELECTED;
    state |= row == current ? ROW_FOCUSED : ROW_UNFOCUSED;
    return state;
}

void CReportCtrl::SelectFlagged(const std::vector<char>& selected)
{
    m_model->Announce();
    const int columns = m_model->Columns();
    if (columns == 0)
        return;
    QItemSelection selection;
    const int rows = std::min(m_model->rowCount(), static_cast<int>(selected.size()));
    for (int r = 0; r < rows;) {
        if (!selected[static_cast<size_t>(r)]) {
            ++r;
            continue;
        }
        int end = r;
        while (end + 1 < rows && selected[static_cast<size_t>(end + 1)])
            ++end;
        selection.append(QItemSelectionRange(m_model->index(r, 0), m_model->index(end, columns - 1)));
        r = end + 1;
    }
    // Cleared first: comparing a large old selection with a large new one
    // costs the selection model time proportional to their product.
    selectionModel()->clearSelection();
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select);
}

uint32_t CReportCtrl::QueryRowState(int row) const
{
    if (RefuseOffThread("QueryRowState") || !m_model->IsRow(row))
        return 0;
    return StateOf(row, SelectedFlags(), CurrentRow());
}

bool CReportCtrl::ApplyRowState(int row, uint32_t flags)
{
    if (RefuseOffThread("ApplyRowState") || !m_model->IsRow(row) || m_model->Columns() == 0)
        return false;
    m_model->Announce();
    const QModelIndex index = m_model->index(row, 0);
    if (flags & ROW_SELECTED)
        selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (flags & ROW_UNSELECTED)
        selectionModel()->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    if (flags & ROW_FOCUSED)
        SetCurrentRow(row);
    if ((flags & ROW_UNFOCUSED) && CurrentRow() == row)
        SetCurrentRow(-1);
    return true;
}

int CReportCtrl::ApplyStateToRows(uint32_t mask, uint32_t flags)
{
    if (RefuseOffThread("ApplyStateToRows"))
        return 0;
    m_model->Announce();
    std::vector<char> selected = SelectedFlags();
    const int current = CurrentRow();
    const int rows = m_model->StoredRows();
    std::vector<char> matches(static_cast<size_t>(rows), 0);
    int count = 0;
    int lastMatch = -1;
    for (int r = 0; r < rows; ++r) {
        if (RowMatches(StateOf(r, selected, current), mask)) {
            matches[static_cast<size_t>(r)] = 1;
            ++count;
            lastMatch = r;
        }
    }
    if (count == 0)
        return 0;
    if (flags & (ROW_SELECTED | ROW_UNSELECTED)) {
        for (int r = 0; r < rows; ++r) {
            if (!matches[static_cast<size_t>(r)])
                continue;
            if (flags & ROW_SELECTED)
                selected[static_cast<size_t>(r)] = 1;
            if (flags & ROW_UNSELECTED)
                selected[static_cast<size_t>(r)] = 0;
        }
        SelectFlagged(selected);
    }
    if (flags & ROW_FOCUSED)
        SetCurrentRow(lastMatch);
    if ((flags & ROW_UNFOCUSED) && current >= 0 && matches[static_cast<size_t>(current)])
        SetCurrentRow(-1);
    return count;
}

int CReportCtrl::CountRowsIn(uint32_t mask) const
{
    if (!OnUiThread()) {
        int count = 0;
        CarryOver([&] { count = CountRowsIn(mask); });
        return count;
    }
    if (mask & ROW_ANY)
        return m_model->StoredRows();
    const std::vector<char> selected = SelectedFlags();
    const int current = CurrentRow();
    int count = 0;
    for (int r = 0; r < m_model->StoredRows(); ++r)
        count += RowMatches(StateOf(r, selected, current), mask) ? 1 : 0;
    return count;
}

int CReportCtrl::NextRowIn(uint32_t mask, int after) const
{
    if (RefuseOffThread("NextRowIn"))
        return -1;
    const std::vector<char>& selected = SelectedFlags();
    const int current = CurrentRow();
    for (int r = std::max(after + 1, 0); r < m_model->StoredRows(); ++r) {
        if (RowMatches(StateOf(r, selected, current), mask))
            return r;
    }
    return -1;
}

void CReportCtrl::FlipSelection()
{
    if (RefuseOffThread("FlipSelection"))
        return;
    m_model->Announce();
    std::vector<char> selected = SelectedFlags();
    for (char& s : selected)
        s = s ? 0 : 1;
    SelectFlagged(selected);
}

// ---- Appending and inserting

void CReportCtrl::ScheduleAnnounce()
{
    if (m_bAnnounceScheduled || !m_model->HasPending())
        return;
    m_bAnnounceScheduled = true;
    QTimer::singleShot(kAnnounceDelayMs, this, [this] {
        m_bAnnounceScheduled = false;
        m_model->Announce();
    });
}

void CReportCtrl::ShowPendingRows()
{
    if (RefuseOffThread("ShowPendingRows"))
        return;
    m_model->Announce();
}

int CReportCtrl::GetItemCount() const
{
    if (!OnUiThread()) {
        int count = 0;
        CarryOver([&] { count = m_model->StoredRows(); });
        return count;
    }
    return m_model->StoredRows();
}

int CReportCtrl::InsertRow(uint32_t mask, int index, const QString& text, uint32_t state, uint32_t stateMask,
                           int image, CAudioFileInfo* ownerData)
{
    if (!OnUiThread()) {
        int result = -1;
        CarryOver([&] {
            result = DoInsertRow(Caller::Worker, mask, index, text, state, stateMask, image, ownerData);
        });
        return result;
    }
    return DoInsertRow(Caller::User, mask, index, text, state, stateMask, image, ownerData);
}

int CReportCtrl::DoInsertRow(Caller caller, uint32_t mask, int index, const QString& text, uint32_t state,
                             uint32_t stateMask, int image, CAudioFileInfo* ownerData)
{
    if (index < 0 || index > m_model->StoredRows())
        return -1;
    if (caller == Caller::User)
        CloseEditor(true);
    else if (IsEditActive() && index <= m_nEditRow)
        CloseEditor(false); // the edited row would move down
    if (index > m_model->StoredRows())
        return -1;

    ReportRow row = m_model->MakeRow();
    if (mask & ITEM_TEXT)
        row.texts.Set(0, m_model->Columns(), text);
    if ((mask & ITEM_IMAGE) && image >= 0 && m_model->Columns() > 0) {
        row.images.assign(static_cast<size_t>(m_model->Columns()), -1);
        row.images[0] = image;
    }
    if (mask & ITEM_PARAM)
        row.info->m_pOwnerData = ownerData;
    const int at = m_model->InsertRow(index, std::move(row));
    ScheduleAnnounce();
    if (at >= 0 && (mask & ITEM_STATE)) {
        const uint32_t apply = state & stateMask;
        if (apply & (ROW_SELECTED | ROW_FOCUSED))
            ApplyRowState(at, apply & (ROW_SELECTED | ROW_FOCUSED));
    }
    return at;
}

int CReportCtrl::AppendFilledRow(ReportFilledRow row)
{
    if (!OnUiThread()) {
        int result = -1;
        CarryOver([&] { result = DoAppendFilledRow(row); });
        return result;
    }
    return DoAppendFilledRow(row);
}

int CReportCtrl::DoAppendFilledRow(ReportFilledRow& filled)
{
    const int columns = m_model->Columns();
    ReportRow row = m_model->MakeRow();

    std::vector<QByteArray> utf8;
    utf8.reserve(static_cast<size_t>(std::min<qsizetype>(filled.cells.size(), columns)));
    for (qsizetype c = 0; c < filled.cells.size() && c < columns; ++c)
        utf8.push_back(filled.cells.at(c).toUtf8());
    std::vector<std::string_view> texts;
    texts.reserve(utf8.size());
    for (const QByteArray& t : utf8)
        texts.emplace_back(t.constData(), static_cast<size_t>(t.size()));
    row.texts.SetAll(texts.data(), static_cast<int>(texts.size()), columns);

    for (const auto& [column, colour] : filled.textColors) {
        if (column >= 0 && column < columns)
            row.info->m_aTextColors[static_cast<size_t>(column)] =
                colour == kSystemColor ? kWindowTextColor : colour;
    }
    if (filled.image >= 0 && columns > 0) {
        row.images.assign(static_cast<size_t>(columns), -1);
        row.images[0] = filled.image;
    }
    row.info->m_pOwnerData = filled.record.get();
    row.ownedData = std::move(filled.record);
    const CAudioFileInfo* record = row.info->m_pOwnerData;

    const int index = m_model->AppendRow(std::move(row));
    ScheduleAnnounce();
    if (filled.onAppended)
        filled.onAppended(index, record);
    return index;
}

// ---- Owner data, texts, numbers and images

void CReportCtrl::SetRowOwnerData(int row, CAudioFileInfo* data)
{
    if (!OnUiThread()) {
        CarryOver([&] { SetRowOwnerData(row, data); });
        return;
    }
    if (m_model->IsRow(row))
        m_model->SetOwnerData(row, data);
}

void CReportCtrl::SetRowOwnerData(int row, std::unique_ptr<CAudioFileInfo> data)
{
    if (RefuseOffThread("SetRowOwnerData"))
        return;
    if (m_model->IsRow(row))
        m_model->SetOwnedData(row, std::move(data));
}

CAudioFileInfo* CReportCtrl::GetRowOwnerData(int row) const
{
    if (!OnUiThread()) {
        CAudioFileInfo* data = nullptr;
        CarryOver([&] { data = GetRowOwnerData(row); });
        return data;
    }
    return m_model->IsRow(row) ? m_model->Row(row).info->m_pOwnerData : nullptr;
}

bool CReportCtrl::SetCellText(int row, int column, const QString& text)
{
    if (!OnUiThread()) {
        bool done = false;
        CarryOver([&] { done = DoSetCellText(Caller::Worker, row, column, text); });
        return done;
    }
    return DoSetCellText(Caller::User, row, column, text);
}

bool CReportCtrl::DoSetCellText(Caller caller, int row, int column, const QString& text)
{
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    EndEditFor(caller, row, column);
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    m_model->SetText(row, column, text);
    m_model->CellsChanged(row, column, row, column);
    return true;
}

QString CReportCtrl::GetCellText(int row, int column) const
{
    if (!OnUiThread()) {
        QString text;
        CarryOver([&] { text = GetCellText(row, column); });
        return text;
    }
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return {};
    return m_model->Row(row).texts.GetString(column);
}

QString CReportCtrl::FormatCellNumber(double value, int decimals)
{
    if (decimals >= 0)
        return FormatText("%.*f", decimals, value);
    QString text = FormatText("%f", value);
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char('0'))
        --end;
    while (end > 0 && text.at(end - 1) == QLatin1Char('.'))
        --end;
    text.truncate(end);
    return text;
}

bool CReportCtrl::SetCellNumber(int row, int column, double value, int decimals)
{
    return SetCellText(row, column, FormatCellNumber(value, decimals));
}

bool CReportCtrl::SetCellImage(int row, int column, int image)
{
    if (!OnUiThread()) {
        bool done = false;
        CarryOver([&] { done = DoSetCellImage(Caller::Worker, row, column, image); });
        return done;
    }
    return DoSetCellImage(Caller::User, row, column, image);
}

bool CReportCtrl::DoSetCellImage(Caller caller, int row, int column, int image)
{
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    EndEditFor(caller, row, column);
    if (!m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    m_model->SetImage(row, column, image);
    m_model->CellsChanged(row, column, row, column);
    return true;
}

int CReportCtrl::GetCellImage(int row, int column) const
{
    if (RefuseOffThread("GetCellImage") || !m_model->IsRow(row) || !m_model->IsColumn(column))
        return -1;
    return m_model->Image(row, column);
}

// ---- Removing and moving rows

bool CReportCtrl::RemoveRow(int row, bool selectFollowing)
{
    if (RefuseOffThread("RemoveRow") || !m_model->IsRow(row))
        return false;
    if (IsEditActive())
        CloseEditor(m_nEditRow != row);
    if (!m_model->IsRow(row))
        return false;
    if (selectFollowing && m_model->IsRow(row + 1))
        ApplyRowState(row + 1, ROW_SELECTED);
    const bool focused = CurrentRow() == row;
    m_model->RemoveRowRange(row, row);
    // As for RemoveRows: the focus goes to the row that takes its place.
    if (focused && m_model->StoredRows() > 0)
        SetCurrentRow(std::min(row, m_model->StoredRows() - 1));
    return true;
}

int CReportCtrl::RemoveRows(uint32_t mask)
{
    if (!OnUiThread()) {
        int removed = 0;
        CarryOver([&] { removed = DoRemoveRows(mask); });
        return removed;
    }
    return DoRemoveRows(mask);
}

int CReportCtrl::DoRemoveRows(uint32_t mask)
{
    CloseEditor(false);
    const int rows = m_model->StoredRows();
    if (rows == 0)
        return 0;
    setUpdatesEnabled(false);
    int removed = 0;
    if (mask & ROW_ANY) {
        m_model->RemoveAllRows();
        removed = rows;
    } else {
        m_model->Announce();
        const std::vector<char> selected = SelectedFlags();
        const int current = CurrentRow();
        std::vector<char> remove(static_cast<size_t>(rows), 0);
        std::vector<char> keptSelected;
        int keptBeforeCurrent = 0;
        for (int r = 0; r < rows; ++r) {
            if (RowMatches(StateOf(r, selected, current), mask)) {
                remove[static_cast<size_t>(r)] = 1;
                ++removed;
            } else {
                keptSelected.push_back(selected[static_cast<size_t>(r)]);
                if (r < current)
                    ++keptBeforeCurrent;
            }
        }
        if (removed > 0) {
            // A removal in many places resets the model: the selection is put
            // back. A removed focused row leaves the focus on the row that
            // takes its place (the last row when none follows).
            const int kept = static_cast<int>(keptSelected.size());
            if (m_model->RemoveFlaggedRows(remove) && kept > 0)
                SelectFlagged(keptSelected);
            if (current >= 0)
                SetCurrentRow(kept > 0 ? std::min(keptBeforeCurrent, kept - 1) : -1);
        }
    }
    setUpdatesEnabled(true);
    viewport()->update();
    return removed;
}

void CReportCtrl::PermuteRows(int first, const std::vector<int>& order)
{
    m_model->Announce();
    std::vector<char> selected = SelectedFlags();
    std::vector<char> moved(selected);
    for (size_t k = 0; k < order.size(); ++k)
        moved[static_cast<size_t>(first) + k] = selected[static_cast<size_t>(first + order[k])];
    // The current row is a persistent index and follows its row by itself.
    selectionModel()->clearSelection();
    m_model->Permute(first, order);
    SelectFlagged(moved);
}

int CReportCtrl::RelocateRow(int row, int target)
{
    if (RefuseOffThread("RelocateRow") || !m_model->IsRow(row))
        return -1;
    CloseEditor(true);
    const int rows = m_model->StoredRows();
    if (!m_model->IsRow(row))
        return -1;
    target = std::clamp(target, 0, rows - 1);
    if (target == row)
        return target;
    const int first = std::min(row, target);
    const int last = std::max(row, target);
    std::vector<int> order;
    order.reserve(static_cast<size_t>(last - first + 1));
    if (target < row) {
        order.push_back(row - first);
        for (int k = 0; k < row - first; ++k)
            order.push_back(k);
    } else {
        for (int k = 1; k <= last - first; ++k)
            order.push_back(k);
        order.push_back(0);
    }
    PermuteRows(first, order);
    return target;
}

int CReportCtrl::ShiftRow(int row, int delta)
{
    const long long target = static_cast<long long>(row) + delta;
    return RelocateRow(row, static_cast<int>(std::clamp<long long>(target, INT32_MIN, INT32_MAX)));
}

int CReportCtrl::RowToTop(int row)
{
    return RelocateRow(row, -1);
}

int CReportCtrl::RowToBottom(int row)
{
    return RelocateRow(row, 2147483647);
}

// ---- Colours

void CReportCtrl::PaintCellText(int row, int column, COLORREF colour, bool redraw)
{
    if (!OnUiThread()) {
        CarryOver([&] { DoPaintCell(row, column, colour, redraw, true); });
        return;
    }
    DoPaintCell(row, column, colour, redraw, true);
}

void CReportCtrl::PaintCellBack(int row, int column, COLORREF colour, bool redraw)
{
    if (!OnUiThread()) {
        CarryOver([&] { DoPaintCell(row, column, colour, redraw, false); });
        return;
    }
    DoPaintCell(row, column, colour, redraw, false);
}

void CReportCtrl::DoPaintCell(int row, int column, COLORREF colour, bool redraw, bool text)
{
    if (colour == kSystemColor)
        colour = text ? kWindowTextColor : kWindowColor;
    const int rows = m_model->StoredRows();
    const int columns = m_model->Columns();
    const bool oneRow = m_model->IsRow(row);
    const bool oneColumn = m_model->IsColumn(column);
    const int r0 = oneRow ? row : 0;
    const int r1 = oneRow ? row : rows - 1;
    const int c0 = oneColumn ? column : 0;
    const int c1 = oneColumn ? column : columns - 1;
    for (int r = r0; r <= r1; ++r) {
        auto& colours = text ? m_model->Row(r).info->m_aTextColors : m_model->Row(r).info->m_aBackColors;
        for (int c = c0; c <= c1 && static_cast<size_t>(c) < colours.size(); ++c)
            colours[static_cast<size_t>(c)] = colour;
    }
    if (r0 == r1)
        m_model->CellsChanged(r0, c0, r1, c1);
    if (redraw)
        viewport()->update();
}

COLORREF CReportCtrl::GetCellTextColor(int row, int column) const
{
    if (RefuseOffThread("GetCellTextColor") || !m_model->IsRow(row) || !m_model->IsColumn(column))
        return kSystemColor;
    return m_model->Row(row).info->m_aTextColors[static_cast<size_t>(column)];
}

COLORREF CReportCtrl::GetCellBackColor(int row, int column) const
{
    if (RefuseOffThread("GetCellBackColor") || !m_model->IsRow(row) || !m_model->IsColumn(column))
        return kSystemColor;
    return m_model->Row(row).info->m_aBackColors[static_cast<size_t>(column)];
}
