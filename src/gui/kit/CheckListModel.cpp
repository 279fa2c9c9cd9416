#include "gui/kit/CheckListModel.h"

#include "gui/kit/DialogTable.h"
#include "store/ListColors.h"
#include "store/SystemParameters.h"

ListColors ListColorsFromParameters() {
    const SystemParameters& p = Params();
    if (!ListColorsReadable(p.listColor, p.fontBkColor, p.fontColor))
        return {}; // the style's colours
    return {ColorFromColorRef(p.listColor), ColorFromColorRef(p.fontBkColor),
            ColorFromColorRef(p.fontColor)};
}

CheckListModel::CheckListModel(QVector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

void CheckListModel::setColors(const ListColors& colors) {
    colors_ = colors;
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CheckListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= columns_.size())
        return {};
    const Row& r = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() < r.cells.size() ? r.cells[index.column()] : QString();
    case Qt::ToolTipRole:
        // The whole text, for cells too narrow to show it (the machine column's names).
        if (index.column() < r.cells.size() && !r.cells[index.column()].isEmpty())
            return r.cells[index.column()];
        return {};
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return r.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::DecorationRole:
        if (index.column() == 0 && !r.image.isNull())
            return r.image;
        return {};
    case Qt::TextAlignmentRole:
        return columns_[index.column()].centred ? int(Qt::AlignCenter)
                                                : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return colors_.textBackground.isValid() ? QVariant(colors_.textBackground) : QVariant();
    case Qt::ForegroundRole:
        return colors_.text.isValid() ? QVariant(colors_.text) : QVariant();
    default:
        return {};
    }
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 ||
        index.row() >= rows_.size())
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant CheckListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].title;
    if (role == Qt::TextAlignmentRole)
        return columns_[section].centred ? int(Qt::AlignCenter)
                                         : int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void CheckListModel::clear() {
    if (rows_.isEmpty())
        return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void CheckListModel::setRows(const QVector<QStringList>& rows, const QVector<QIcon>& images) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        Row r;
        r.cells = rows[i];
        if (i < images.size())
            r.image = images[i];
        while (r.cells.size() < columns_.size())
            r.cells << QString();
        rows_.push_back(std::move(r));
    }
    endResetModel();
}

int CheckListModel::appendRow(const QStringList& cells, const QIcon& image) {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    Row r;
    r.cells = cells;
    while (r.cells.size() < columns_.size())
        r.cells << QString();
    r.image = image;
    rows_.push_back(std::move(r));
    endInsertRows();
    return row;
}

QString CheckListModel::cell(int row, int column) const {
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_[row].cells.size())
        return {};
    return rows_[row].cells[column];
}

void CheckListModel::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_[row].cells.size())
        return;
    QString& c = rows_[row].cells[column];
    if (c == text)
        return;
    c = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void CheckListModel::setImage(int row, const QIcon& image) {
    if (row < 0 || row >= rows_.size())
        return;
    rows_[row].image = image;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::DecorationRole});
}

bool CheckListModel::isChecked(int row) const {
    return row >= 0 && row < rows_.size() && rows_[row].checked;
}

void CheckListModel::setChecked(int row, bool checked) {
    if (row < 0 || row >= rows_.size() || rows_[row].checked == checked)
        return;
    rows_[row].checked = checked;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

QVector<int> CheckListModel::checkedRows() const {
    QVector<int> out;
    for (int r = 0; r < rows_.size(); ++r)
        if (rows_[r].checked)
            out << r;
    return out;
}
