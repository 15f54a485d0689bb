// The file list control: in-place editing of cells.
#include "AppEvents.h"
#include "CReportCtrl.h"
#include "ReportCellEditor.h"
#include "ReportHeaderView.h"
#include "ReportListModel.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>

namespace {

// Space the cell's image takes in front of its text.
constexpr int kImageIndent = 16 + 4;

} // namespace

void CReportCtrl::MarkColumnEditable(int column)
{
    if (!m_model->IsColumn(column))
        return;
    const unsigned c = static_cast<unsigned>(column);
    if (std::find(m_aEditableColumns.begin(), m_aEditableColumns.end(), c) == m_aEditableColumns.end())
        m_aEditableColumns.push_back(c);
}

void CReportCtrl::EndEditFor(Caller caller, int row, int column)
{
    if (!IsEditActive())
        return;
    if (caller == Caller::User) {
        CloseEditor(true);
        return;
    }
    if (row == m_nEditRow && (column < 0 || column == m_nEditColumn))
        CloseEditor(false);
}

bool CReportCtrl::OpenEditor(int row, int column)
{
    if (RefuseOffThread("OpenEditor"))
        return false;
    m_model->Announce();
    if (!m_model->IsRow(row) || !m_model->IsColumn(column) || !IsColumnShown(column))
        return false;
    if (row == m_nEditRow && column == m_nEditColumn)
        return true;
    CloseEditor(true);
    // The owner's handling of a committed edit may have changed the list.
    if (!m_model->IsRow(row) || !m_model->IsColumn(column) || !IsColumnShown(column))
        return false;

    m_nEditRow = row;
    m_nEditColumn = column;
    ApplyStateToRows(ROW_ANY, ROW_UNSELECTED);
    ApplyRowState(row, ROW_SELECTED | ROW_FOCUSED);

    const int format = m_model->Column(column).format;
    const int align = format == COLFMT_CENTER ? 1 : (format == COLFMT_RIGHT ? 2 : 0);
    if (!m_pEditor) {
        m_pEditor = new ReportCellEditor(viewport());
        connect(m_pEditor, &ReportCellEditor::KeyPressed, this,
                [this](ReportCellEditor::Key key) { OnEditorKey(static_cast<int>(key)); });
    }
    m_nEditorAlign = align;
    m_pEditor->setAlignment((align == 1 ? Qt::AlignHCenter : (align == 2 ? Qt::AlignRight : Qt::AlignLeft)) |
                            Qt::AlignVCenter);
    m_pEditor->setFont(font());

    // Row and column in view first, so the editor lands on the cell.
    scrollTo(m_model->index(row, column));
    ScrollColumnIntoView(column);
    PlaceEditor();

    const QString text = GetCellText(row, column);
    m_pEditor->Begin(text);
    m_pEditor->show();
    m_pEditor->raise();
    m_pEditor->setFocus(Qt::OtherFocusReason);
    if (column == 0)
        m_strTextBeforeEdit = text;
    return true;
}

void CReportCtrl::PlaceEditor()
{
    if (!m_pEditor || !IsEditActive())
        return;
    executeDelayedItemsLayout();
    QRect cell = visualRect(m_model->index(m_nEditRow, m_nEditColumn));
    if (!m_model->RowImages().isEmpty() && m_model->Image(m_nEditRow, m_nEditColumn) >= 0)
        cell.setLeft(cell.left() + kImageIndent);
    m_pEditor->setGeometry(cell);
}

bool CReportCtrl::CloseEditor(bool commit)
{
    if (!IsEditActive())
        return false;
    const int row = m_nEditRow;
    const int column = m_nEditColumn;
    const QString text = m_pEditor ? m_pEditor->text() : QString();
    // The edit is closed before the owner hears of it, so the owner's
    // handling (a rename, list operations) never meets a half-open edit.
    m_nEditRow = -1;
    m_nEditColumn = -1;
    if (m_pEditor) {
        const bool hadFocus = m_pEditor->hasFocus();
        m_pEditor->hide();
        if (hadFocus)
            setFocus(Qt::OtherFocusReason);
    }
    if (!commit || !m_model->IsRow(row) || !m_model->IsColumn(column))
        return false;
    if (text == m_model->Row(row).texts.GetString(column))
        return false;
    m_model->SetText(row, column, text);
    m_model->CellsChanged(row, column, row, column);
    if (m_pOwner) {
        PayloadEvent<std::array<int32_t, 2>> edited(WM_LIST_CELL_EDITED, {row, column}, 0,
                                                    reinterpret_cast<qintptr>(this));
        QCoreApplication::sendEvent(m_pOwner.data(), &edited);
    }
    return true;
}

void CReportCtrl::OnEditorKey(int key)
{
    using Key = ReportCellEditor::Key;
    const int row = m_nEditRow;
    const int column = m_nEditColumn;
    switch (static_cast<Key>(key)) {
    case Key::Commit:
        CloseEditor(true);
        return;
    case Key::Cancel:
        CloseEditor(false);
        return;
    case Key::Next:
    case Key::Previous: {
        CloseEditor(true);
        const int marked = static_cast<int>(m_aEditableColumns.size());
        if (marked == 0)
            return;
        const auto at =
            std::find(m_aEditableColumns.begin(), m_aEditableColumns.end(), static_cast<unsigned>(column));
        int position =
            at == m_aEditableColumns.end() ? -1 : static_cast<int>(at - m_aEditableColumns.begin());
        const int step = static_cast<Key>(key) == Key::Next ? 1 : marked - 1;
        if (position < 0)
            position = static_cast<Key>(key) == Key::Next ? marked - 1 : 0;
        // Hidden marked columns are passed over.
        for (int tries = 0; tries < marked; ++tries) {
            position = (position + step) % marked;
            const int next = static_cast<int>(m_aEditableColumns[static_cast<size_t>(position)]);
            if (IsColumnShown(next)) {
                ScrollColumnIntoView(next);
                OpenEditor(row, next);
                return;
            }
        }
        return;
    }
    case Key::Down:
    case Key::Up: {
        CloseEditor(true);
        const int rows = m_model->StoredRows();
        if (rows == 0)
            return;
        const int next = static_cast<Key>(key) == Key::Down ? (row + 1 >= rows ? 0 : row + 1)
                                                            : (row - 1 < 0 ? rows - 1 : row - 1);
        scrollTo(m_model->index(next, column));
        OpenEditor(next, column);
        return;
    }
    }
}
