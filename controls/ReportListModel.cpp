// The file list's table model.
#include "ReportListModel.h"

#include "AudioFileInfo.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace {

QColor ToQColor(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

Qt::Alignment AlignmentOf(int format)
{
    switch (format) {
    case COLFMT_RIGHT:
        return Qt::AlignRight | Qt::AlignVCenter;
    case COLFMT_CENTER:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// Above this many separate runs, removing flagged rows run by run would move
// the row store once per run; a single compaction with a reset is cheaper.
constexpr int kMaxRemovalRuns = 16;

} // namespace

ReportListModel::ReportListModel(QObject* parent) : QAbstractTableModel(parent) {}

ReportListModel::~ReportListModel() = default;

int ReportListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int ReportListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns();
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    const int column = index.column();
    if (!index.isValid() || row >= m_announced || !IsColumn(column))
        return {};
    const ReportRow& r = Row(row);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return r.texts.GetString(column);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentOf(Column(column).format));
    case Qt::ForegroundRole:
        if (static_cast<size_t>(column) < r.info->m_aTextColors.size())
            return QBrush(ToQColor(r.info->m_aTextColors[static_cast<size_t>(column)]));
        return {};
    case Qt::BackgroundRole:
        if (static_cast<size_t>(column) < r.info->m_aBackColors.size())
            return QBrush(ToQColor(r.info->m_aBackColors[static_cast<size_t>(column)]));
        return {};
    case Qt::DecorationRole: {
        const int image = Image(row, column);
        if (image >= 0 && image < m_rowImages.size())
            return m_rowImages.at(image);
        return {};
    }
    default:
        return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !IsColumn(section))
        return {};
    if (role == Qt::DisplayRole)
        return Column(section).heading;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(AlignmentOf(Column(section).format));
    return {};
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

ReportRow ReportListModel::MakeRow() const
{
    ReportRow row;
    row.info = std::make_unique<ReportRowInfo>();
    row.info->m_aTextColors.assign(static_cast<size_t>(Columns()), kWindowTextColor);
    row.info->m_aBackColors.assign(static_cast<size_t>(Columns()), kWindowColor);
    return row;
}

int ReportListModel::AppendRow(ReportRow row)
{
    m_rows.push_back(std::move(row));
    return StoredRows() - 1;
}

int ReportListModel::InsertRow(int index, ReportRow row)
{
    if (index < 0 || index > StoredRows())
        return -1;
    if (index == StoredRows())
        return AppendRow(std::move(row));
    Announce();
    beginInsertRows(QModelIndex(), index, index);
    m_rows.insert(m_rows.begin() + index, std::move(row));
    ++m_announced;
    endInsertRows();
    return index;
}

bool ReportListModel::Announce()
{
    if (!HasPending())
        return false;
    beginInsertRows(QModelIndex(), m_announced, StoredRows() - 1);
    m_announced = StoredRows();
    endInsertRows();
    return true;
}

void ReportListModel::RemoveRowRange(int first, int last)
{
    if (first < 0 || last >= StoredRows() || first > last)
        return;
    Announce();
    beginRemoveRows(QModelIndex(), first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    m_announced = StoredRows();
    endRemoveRows();
}

void ReportListModel::RemoveAllRows()
{
    if (m_rows.empty())
        return;
    Announce();
    beginRemoveRows(QModelIndex(), 0, StoredRows() - 1);
    // Moved out first, so no view can see a half-destroyed store.
    std::vector<ReportRow> gone;
    gone.swap(m_rows);
    m_announced = 0;
    endRemoveRows();
}

bool ReportListModel::RemoveFlaggedRows(const std::vector<char>& remove)
{
    Announce();
    const int count = std::min(StoredRows(), static_cast<int>(remove.size()));
    std::vector<std::pair<int, int>> runs;
    for (int r = 0; r < count;) {
        if (!remove[static_cast<size_t>(r)]) {
            ++r;
            continue;
        }
        int end = r;
        while (end + 1 < count && remove[static_cast<size_t>(end + 1)])
            ++end;
        runs.emplace_back(r, end);
        r = end + 1;
    }
    if (runs.empty())
        return false;
    if (static_cast<int>(runs.size()) <= kMaxRemovalRuns) {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            RemoveRowRange(it->first, it->second);
        return false;
    }
    beginResetModel();
    std::vector<ReportRow> kept;
    kept.reserve(m_rows.size());
    for (int r = 0; r < StoredRows(); ++r) {
        if (r >= count || !remove[static_cast<size_t>(r)])
            kept.push_back(std::move(m_rows[static_cast<size_t>(r)]));
    }
    std::vector<ReportRow> gone;
    gone.swap(m_rows);
    m_rows.swap(kept);
    m_announced = StoredRows();
    endResetModel();
    return true;
}

void ReportListModel::Permute(int first, const std::vector<int>& order)
{
    const int n = static_cast<int>(order.size());
    if (n < 2 || first < 0 || first + n > StoredRows())
        return;
    Announce();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<ReportRow> moved;
    moved.reserve(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        moved.push_back(std::move(m_rows[static_cast<size_t>(first + order[static_cast<size_t>(k)])]));
    for (int k = 0; k < n; ++k)
        m_rows[static_cast<size_t>(first + k)] = std::move(moved[static_cast<size_t>(k)]);

    // Old row first + order[k] is now row first + k.
    std::vector<int> newIndexOf(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        newIndexOf[static_cast<size_t>(order[static_cast<size_t>(k)])] = k;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const int row = index.row();
        if (row >= first && row < first + n)
            after.append(this->index(first + newIndexOf[static_cast<size_t>(row - first)], index.column()));
        else
            after.append(index);
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReportListModel::SetText(int row, int column, const QString& text)
{
    Row(row).texts.Set(column, Columns(), text);
}

int ReportListModel::Image(int row, int column) const
{
    const auto& images = Row(row).images;
    if (column < 0 || static_cast<size_t>(column) >= images.size())
        return -1;
    return images[static_cast<size_t>(column)];
}

void ReportListModel::SetImage(int row, int column, int image)
{
    auto& images = Row(row).images;
    if (images.empty()) {
        if (image < 0)
            return;
        images.assign(static_cast<size_t>(Columns()), -1);
    }
    if (static_cast<size_t>(column) < images.size())
        images[static_cast<size_t>(column)] = image;
}

void ReportListModel::SetOwnerData(int row, CAudioFileInfo* data)
{
    ReportRow& r = Row(row);
    if (r.ownedData && r.ownedData.get() != data)
        r.ownedData.reset();
    r.info->m_pOwnerData = data;
}

void ReportListModel::SetOwnedData(int row, std::unique_ptr<CAudioFileInfo> data)
{
    ReportRow& r = Row(row);
    r.info->m_pOwnerData = data.get();
    r.ownedData = std::move(data);
}

void ReportListModel::CellsChanged(int r0, int c0, int r1, int c1)
{
    r1 = std::min(r1, m_announced - 1);
    if (r0 > r1 || c0 > c1 || r0 < 0 || c0 < 0)
        return;
    emit dataChanged(index(r0, c0), index(r1, c1));
}

int ReportListModel::InsertColumn(int index, const QString& heading, int format)
{
    if (index < 0 || index > Columns())
        return -1;
    Announce();
    beginInsertColumns(QModelIndex(), index, index);
    ReportColumn column;
    column.heading = heading;
    column.format = format;
    m_columns.insert(m_columns.begin() + index, column);
    const int count = Columns();
    for (ReportRow& row : m_rows) {
        row.texts.InsertColumn(index, count);
        row.info->m_aTextColors.insert(row.info->m_aTextColors.begin() + index, kWindowTextColor);
        row.info->m_aBackColors.insert(row.info->m_aBackColors.begin() + index, kWindowColor);
        if (!row.images.empty())
            row.images.insert(row.images.begin() + index, -1);
    }
    endInsertColumns();
    return index;
}

bool ReportListModel::RemoveColumn(int column)
{
    if (!IsColumn(column))
        return false;
    Announce();
    beginRemoveColumns(QModelIndex(), column, column);
    m_columns.erase(m_columns.begin() + column);
    const int count = Columns();
    for (ReportRow& row : m_rows) {
        row.texts.RemoveColumn(column, count);
        auto& text = row.info->m_aTextColors;
        auto& back = row.info->m_aBackColors;
        if (static_cast<size_t>(column) < text.size())
            text.erase(text.begin() + column);
        if (static_cast<size_t>(column) < back.size())
            back.erase(back.begin() + column);
        if (static_cast<size_t>(column) < row.images.size())
            row.images.erase(row.images.begin() + column);
    }
    endRemoveColumns();
    return true;
}

size_t ReportListModel::RowStoreBytes() const
{
    size_t bytes = m_rows.capacity() * sizeof(ReportRow);
    for (const ReportRow& row : m_rows) {
        bytes += sizeof(ReportRowInfo) + row.texts.HeapBytes();
        bytes += (row.info->m_aTextColors.capacity() + row.info->m_aBackColors.capacity()) * sizeof(COLORREF);
        bytes += row.images.capacity() * sizeof(int32_t);
        if (row.ownedData)
            bytes += sizeof(CAudioFileInfo);
    }
    return bytes;
}
