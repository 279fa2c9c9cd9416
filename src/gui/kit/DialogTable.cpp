#include "gui/kit/DialogTable.h"

#include "store/ListColors.h"
#include "store/SystemParameters.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPalette>
#include <QScrollBar>

QColor ColorFromColorRef(int32_t colorRef) {
    const auto v = static_cast<uint32_t>(colorRef);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

namespace {

// The list colours of the parameter file, unless they would make the texts hard to read (a file
// without colour keys reads them all as 0, black on black): the style's colours then. The main
// window's lists follow the same rule (ListColorsFromParameters).
bool readableListColors() {
    const SystemParameters& p = Params();
    return ListColorsReadable(p.listColor, p.fontBkColor, p.fontColor);
}

} // namespace

DialogTableModel::DialogTableModel(QVector<Column> columns, bool checkable, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), checkable_(checkable) {
    if (readableListColors()) {
        textBackground_ = ColorFromColorRef(Params().fontBkColor);
        text_ = ColorFromColorRef(Params().fontColor);
    }
}

int DialogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DialogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DialogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const Row& row = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return index.column() < row.cells.size() ? row.cells[index.column()] : QString();
    case Qt::CheckStateRole:
        if (checkable_ && index.column() == 0)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        return columns_[index.column()].centred ? int(Qt::AlignCenter)
                                                : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return textBackground_.isValid() ? QVariant(textBackground_) : QVariant();
    case Qt::ForegroundRole:
        return text_.isValid() ? QVariant(text_) : QVariant();
    default:
        return {};
    }
}

bool DialogTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rows_.size())
        return false;
    Row& row = rows_[index.row()];
    if (role == Qt::CheckStateRole && checkable_ && index.column() == 0) {
        row.checked = value.toInt() == Qt::Checked;
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    if (role == Qt::EditRole && columns_[index.column()].editable) {
        while (row.cells.size() <= index.column())
            row.cells.append(QString());
        row.cells[index.column()] = value.toString();
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        return true;
    }
    return false;
}

QVariant DialogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < columns_.size())
        return columns_[section].title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DialogTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkable_ && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    if (columns_[index.column()].editable)
        f |= Qt::ItemIsEditable;
    return f;
}

void DialogTableModel::setRows(const QVector<QStringList>& rows) {
    beginResetModel();
    rows_.clear();
    for (const QStringList& cells : rows)
        rows_.append({cells, false});
    endResetModel();
}

void DialogTableModel::removeRow(int row) {
    if (row < 0 || row >= rows_.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows_.remove(row);
    endRemoveRows();
}

QString DialogTableModel::cell(int row, int column) const {
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_[row].cells.size())
        return {};
    return rows_[row].cells[column];
}

bool DialogTableModel::isChecked(int row) const {
    return row >= 0 && row < rows_.size() && rows_[row].checked;
}

void DialogTableModel::setChecked(int row, bool checked) {
    if (row < 0 || row >= rows_.size() || rows_[row].checked == checked)
        return;
    rows_[row].checked = checked;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

DialogTableView::DialogTableView(const QString& accessibleName, QWidget* parent)
    : QTableView(parent) {
    setAccessibleName(accessibleName);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false); // Tab leaves the list for the next control
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (readableListColors()) {
        QPalette pal = palette();
        pal.setColor(QPalette::Base, ColorFromColorRef(Params().listColor));
        pal.setColor(QPalette::Text, ColorFromColorRef(Params().fontColor));
        // Styles outline check boxes in a shade of the window colour, which hardly shows on a
        // coloured list: outline them in the text colour instead.
        pal.setColor(QPalette::Window, ColorFromColorRef(Params().fontColor));
        setPalette(pal);
        setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }")
                          .arg(ColorFromColorRef(Params().listColor).darker(140).name()));
        // The header and the scroll bars keep the ordinary colours.
        horizontalHeader()->setPalette(QApplication::palette(horizontalHeader()));
        verticalScrollBar()->setPalette(QApplication::palette(verticalScrollBar()));
        horizontalScrollBar()->setPalette(QApplication::palette(horizontalScrollBar()));
    }
}

void DialogTableView::setTableModel(DialogTableModel* model) {
    model_ = model;
    setModel(model);
    for (int c = 0; c < model->columns().size(); ++c)
        setColumnWidth(c, model->columns()[c].width);
    horizontalHeader()->setStretchLastSection(true);
}

int DialogTableView::selectedRow() const {
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& i : rows)
        if (first < 0 || i.row() < first)
            first = i.row();
    return first;
}

void DialogTableView::commitOpenEditor() {
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

int DialogTableView::contentsWidthHint() const {
    int w = 0;
    if (model_)
        for (const DialogTableModel::Column& c : model_->columns())
            w += c.width;
    return w + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
}

void DialogTableView::keyPressEvent(QKeyEvent* event) {
    // Space ticks the focused row's check box wherever the focus sits in the row.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && model_ &&
        state() != QAbstractItemView::EditingState && currentIndex().isValid() &&
        (model_->flags(model_->index(currentIndex().row(), 0)) & Qt::ItemIsUserCheckable)) {
        const int row = currentIndex().row();
        model_->setChecked(row, !model_->isChecked(row));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
