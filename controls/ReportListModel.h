// The rows and columns of the file list as a Qt table model: every row holds
// its cell texts, cell images and its ReportRowInfo (owner data and colours).
#pragma once

#include "ReportRowTexts.h"
#include "ReportTypes.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <memory>
#include <vector>

struct CAudioFileInfo;

// One row as the model stores it.
struct ReportRow
{
    std::unique_ptr<ReportRowInfo> info;
    std::unique_ptr<CAudioFileInfo> ownedData; // set when the row owns its record
    ReportRowTexts texts;
    std::vector<int32_t> images; // per column; empty while no cell has an image
};

// One column as the model stores it.
struct ReportColumn
{
    QString heading;
    int format = COLFMT_LEFT;
    int headerImage = -1;
    bool imageOnLeft = false;
};

// Rows appended at the end are stored at once but announced to the views in
// batches (Announce), so that a load adding rows one by one does not lay out
// and repaint the whole list per row. Everything except appending announces
// pending rows first, so the views never see rows out of step.
class ReportListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ReportListModel(QObject* parent = nullptr);
    ~ReportListModel() override;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows stored, announced or not.
    int StoredRows() const { return static_cast<int>(m_rows.size()); }
    int Columns() const { return static_cast<int>(m_columns.size()); }
    bool IsRow(int row) const { return row >= 0 && row < StoredRows(); }
    bool IsColumn(int column) const { return column >= 0 && column < Columns(); }

    // A new row with default colours for every column.
    ReportRow MakeRow() const;
    // Appends a row; the views learn of it at the next Announce.
    int AppendRow(ReportRow row);
    // Inserts a row at index (0..StoredRows()); announces at once.
    int InsertRow(int index, ReportRow row);
    // Tells the views about appended rows. Returns whether there were any.
    bool Announce();
    bool HasPending() const { return m_announced < StoredRows(); }

    void RemoveRowRange(int first, int last);
    void RemoveAllRows();
    // Removes the rows flagged in remove (one flag per row). Returns true
    // when it reset the model (rows removed in many places), which clears the
    // views' selection and current row.
    bool RemoveFlaggedRows(const std::vector<char>& remove);
    // Puts rows first..first+order.size()-1 in the given order: row first + k
    // becomes old row first + order[k]. Persistent indexes follow their rows.
    void Permute(int first, const std::vector<int>& order);

    ReportRow& Row(int row) { return m_rows[static_cast<size_t>(row)]; }
    const ReportRow& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    std::string_view Text(int row, int column) const { return Row(row).texts.Get(column); }
    void SetText(int row, int column, const QString& text);
    int Image(int row, int column) const;
    void SetImage(int row, int column, int image);
    void SetOwnerData(int row, CAudioFileInfo* data);
    void SetOwnedData(int row, std::unique_ptr<CAudioFileInfo> data);

    // Tells the views that cells of rows r0..r1, columns c0..c1 changed.
    void CellsChanged(int r0, int c0, int r1, int c1);

    int InsertColumn(int index, const QString& heading, int format);
    bool RemoveColumn(int column);
    ReportColumn& Column(int column) { return m_columns[static_cast<size_t>(column)]; }
    const ReportColumn& Column(int column) const { return m_columns[static_cast<size_t>(column)]; }

    void SetRowImages(const QList<QIcon>& icons) { m_rowImages = icons; }
    const QList<QIcon>& RowImages() const { return m_rowImages; }

    // Heap bytes of the row store (for the benchmark).
    size_t RowStoreBytes() const;

private:
    std::vector<ReportRow> m_rows;
    std::vector<ReportColumn> m_columns;
    QList<QIcon> m_rowImages;
    int m_announced = 0;
};
