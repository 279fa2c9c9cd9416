#include "gui/kit/ListAccessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QListView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <memory>
#include <vector>

namespace {

enum class ViewKind { Table, Tree, List };

// A tree beyond this many shown rows is read no further: a screen reader reads what is on screen,
// and a folder tree opened down to every file of a disk must not stall the program.
constexpr int kMaxTreeRows = 20000;

QWindow* windowOf(const QWidget* widget) {
    if (widget == nullptr)
        return nullptr;
    const QWidget* top = widget->window();
    return top != nullptr ? top->windowHandle() : nullptr;
}

QAccessibleInterface* interfaceOf(QAbstractItemView* view) {
    return view != nullptr ? QAccessible::queryAccessibleInterface(view) : nullptr;
}

// One cell of a list. It holds its item by a persistent index, so it follows the item through any
// change of the model and answers nothing once the item or its view is gone.
class ItemCellAccessible : public QAccessibleInterface,
                           public QAccessibleTableCellInterface,
                           public QAccessibleActionInterface {
public:
    ItemCellAccessible(QAbstractItemView* view, const QModelIndex& index, QAccessible::Role role)
        : view_(view), index_(index), role_(role) {}

    QAbstractItemView* view() const { return view_.data(); }
    QModelIndex modelIndex() const { return index_; }

    bool isValid() const override {
        return view_ != nullptr && index_.isValid() && index_.model() == view_->model();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return windowOf(view_.data()); }
    QAccessibleInterface* parent() const override { return interfaceOf(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    // Exactly the text the cell shows.
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name: {
            const QVariant own = index_.data(Qt::AccessibleTextRole);
            return own.isValid() ? own.toString() : index_.data(Qt::DisplayRole).toString();
        }
        case QAccessible::Description:
            return index_.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = view_->visualRect(index_);
        if (r.isEmpty())
            return {};
        return {view_->viewport()->mapToGlobal(r.topLeft()), r.size()};
    }

    // A cell with a check box is a check box: Qt 6.4's AT-SPI bridge passes "checked" on but not
    // "checkable", and without either a screen reader could not tell an unticked box from a text.
    QAccessible::Role role() const override {
        return isValid() && (index_.flags() & Qt::ItemIsUserCheckable) ? QAccessible::CheckBox
                                                                       : role_;
    }

    QAccessible::State state() const override {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        if (!view_->isVisible())
            st.invisible = true;
        else if (!view_->viewport()->rect().intersects(view_->visualRect(index_)))
            st.offscreen = true;
        const Qt::ItemFlags flags = index_.flags();
        if (!(flags & Qt::ItemIsEnabled))
            st.disabled = true;
        st.focusable = true;
        if (view_->currentIndex() == index_ && view_->hasFocus())
            st.focused = true;
        if (view_->selectionMode() != QAbstractItemView::NoSelection &&
            (flags & Qt::ItemIsSelectable)) {
            st.selectable = true;
            if (view_->selectionModel() != nullptr && view_->selectionModel()->isSelected(index_))
                st.selected = true;
        }
        if (flags & Qt::ItemIsUserCheckable) {
            st.checkable = true;
            const int check = index_.data(Qt::CheckStateRole).toInt();
            st.checked = check == Qt::Checked;
            st.checkStateMixed = check == Qt::PartiallyChecked;
        }
        if (flags & Qt::ItemIsEditable)
            st.editable = true;
        if (const auto* tree = qobject_cast<const QTreeView*>(view_.data());
            tree != nullptr && index_.column() == 0 && index_.model()->hasChildren(index_)) {
            st.expandable = true;
            st.expanded = tree->isExpanded(index_);
            st.collapsed = !st.expanded;
        }
        return st;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // --- The cell's place in its table.
    bool isSelected() const override { return state().selected; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override;
    int rowIndex() const override;
    QAccessibleInterface* table() const override { return parent(); }

    // --- Actions: Toggle ticks and unticks a check box; Press is a click on the cell.
    QStringList actionNames() const override {
        QStringList names;
        if (!isValid())
            return names;
        if (checkable())
            names << toggleAction();
        names << pressAction();
        return names;
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == toggleAction() && checkable())
            return {QStringLiteral("Space")};
        return {};
    }
    void doAction(const QString& name) override {
        if (!isValid())
            return;
        QAbstractItemView* view = view_.data();
        if (name == toggleAction() && checkable()) {
            const bool checked = index_.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            view->model()->setData(index_, static_cast<int>(checked ? Qt::Unchecked : Qt::Checked),
                                   Qt::CheckStateRole);
        } else if (name == pressAction()) {
            // As a click: the list takes the focus, the cell becomes current (its row selected as
            // the list selects), and whoever follows the clicks hears of it.
            const QPersistentModelIndex at = index_;
            view->setFocus(Qt::OtherFocusReason);
            if (at.isValid())
                view->setCurrentIndex(at);
            if (at.isValid() && view_ != nullptr)
                emit view->clicked(at);
        }
    }

private:
    bool checkable() const {
        const Qt::ItemFlags flags = index_.flags();
        return (flags & Qt::ItemIsUserCheckable) && (flags & Qt::ItemIsEnabled);
    }

    QPointer<QAbstractItemView> view_;
    QPersistentModelIndex index_;
    QAccessible::Role role_;
};

// A header cell: a column's title (table, tree), a row's (table), or the table's corner
// (section -1).
class ItemHeaderAccessible : public QAccessibleInterface {
public:
    ItemHeaderAccessible(QAbstractItemView* view, Qt::Orientation orientation, int section)
        : view_(view), orientation_(orientation), section_(section) {}

    Qt::Orientation orientation() const { return orientation_; }
    int section() const { return section_; }
    QAbstractItemView* view() const { return view_.data(); }

    bool isValid() const override {
        if (view_ == nullptr || view_->model() == nullptr)
            return false;
        if (section_ < 0)
            return true;
        const QAbstractItemModel* m = view_->model();
        return section_ < (orientation_ == Qt::Horizontal ? m->columnCount(view_->rootIndex())
                                                          : m->rowCount(view_->rootIndex()));
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return windowOf(view_.data()); }
    QAccessibleInterface* parent() const override { return interfaceOf(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || section_ < 0 || !isValid())
            return {};
        return view_->model()->headerData(section_, orientation_, Qt::DisplayRole).toString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QHeaderView* h = header();
        if (h == nullptr || section_ < 0 || !isValid() || h->isHidden())
            return {};
        const int at = h->sectionViewportPosition(section_);
        const int size = h->sectionSize(section_);
        const QRect r = orientation_ == Qt::Horizontal ? QRect(at, 0, size, h->height())
                                                       : QRect(0, at, h->width(), size);
        return {h->viewport()->mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override {
        if (section_ < 0)
            return QAccessible::Pane;
        return orientation_ == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
    }
    QAccessible::State state() const override {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        const QHeaderView* h = header();
        if (section_ < 0 || h == nullptr || !h->isVisible() || h->isSectionHidden(section_))
            st.invisible = true;
        return st;
    }

private:
    QHeaderView* header() const {
        if (auto* table = qobject_cast<QTableView*>(view_.data()))
            return orientation_ == Qt::Horizontal ? table->horizontalHeader()
                                                  : table->verticalHeader();
        if (auto* tree = qobject_cast<QTreeView*>(view_.data()))
            return orientation_ == Qt::Horizontal ? tree->header() : nullptr;
        return nullptr;
    }

    QPointer<QAbstractItemView> view_;
    Qt::Orientation orientation_;
    int section_;
};

// A list, a table or a tree, with its cells as children.
class ItemViewAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    ItemViewAccessible(QAbstractItemView* view, ViewKind kind)
        : QAccessibleWidget(view, kind == ViewKind::Table  ? QAccessible::Table
                                  : kind == ViewKind::Tree ? QAccessible::Tree
                                                           : QAccessible::List),
          kind_(kind), guard_(std::make_unique<QObject>()) {}

    ~ItemViewAccessible() override {
        modelContext_.reset();
        viewContext_.reset();
        for (QAccessible::Id id : std::as_const(cells_))
            QAccessible::deleteAccessibleInterface(id);
        deleteRetired();
    }

    QAbstractItemView* view() const { return qobject_cast<QAbstractItemView*>(object()); }

    bool isValid() const override { return QAccessibleWidget::isValid() && view() != nullptr; }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // --- Children: the cells (and header cells), numbered as the view numbers them.
    int childCount() const override {
        if (!sync())
            return 0;
        return (rowCount() + headerRows()) * stride();
    }

    QAccessibleInterface* child(int number) const override {
        if (!sync() || number < 0 || number >= (rowCount() + headerRows()) * stride())
            return nullptr;
        if (const auto found = cells_.constFind(number); found != cells_.constEnd()) {
            if (QAccessibleInterface* cached = QAccessible::accessibleInterface(found.value()))
                return cached;
        }
        QAbstractItemView* v = view();
        const int row = number / stride() - headerRows();
        const int column = number % stride() - headerColumns();
        QAccessibleInterface* made = nullptr;
        if (row < 0) {
            made = new ItemHeaderAccessible(v, Qt::Horizontal, column);
        } else if (column < 0) {
            made = new ItemHeaderAccessible(v, Qt::Vertical, row);
        } else {
            const QModelIndex index = modelIndex(row, column);
            if (!index.isValid())
                return nullptr;
            made = new ItemCellAccessible(v, index, cellRole());
        }
        cells_.insert(number, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr || !sync())
            return -1;
        return numberOf(child);
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        QAbstractItemView* v = view();
        if (v == nullptr || !sync())
            return nullptr;
        const QModelIndex index = v->indexAt(v->viewport()->mapFromGlobal(QPoint(x, y)));
        const int number = childNumberOf(index);
        return number >= 0 ? child(number) : nullptr;
    }

    QAccessibleInterface* focusChild() const override {
        QAbstractItemView* v = view();
        if (v == nullptr || !sync())
            return nullptr;
        const int number = childNumberOf(v->currentIndex());
        return number >= 0 ? child(number) : nullptr;
    }

    // --- The table: rows and columns of cells, headers not counted.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }

    QAccessibleInterface* cellAt(int row, int column) const override {
        if (!sync() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
            return nullptr;
        return child((row + headerRows()) * stride() + column + headerColumns());
    }

    int rowCount() const override {
        if (!sync())
            return 0;
        if (kind_ == ViewKind::Tree)
            return static_cast<int>(treeRows_.size());
        return model_->rowCount(view()->rootIndex());
    }

    int columnCount() const override {
        if (!sync())
            return 0;
        const int columns = model_->columnCount(view()->rootIndex());
        if (kind_ == ViewKind::List)
            return columns > 0 ? 1 : 0;
        return columns;
    }

    QString columnDescription(int column) const override {
        if (!sync() || kind_ == ViewKind::List || column < 0 || column >= columnCount())
            return {};
        return model_->headerData(column, Qt::Horizontal).toString();
    }
    QString rowDescription(int row) const override {
        if (!sync() || kind_ != ViewKind::Table || row < 0 || row >= rowCount())
            return {};
        return model_->headerData(row, Qt::Vertical).toString();
    }

    int selectedCellCount() const override { return static_cast<int>(selectedNumbers().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> out;
        for (int number : selectedNumbers())
            if (QAccessibleInterface* cell = child(number))
                out << cell;
        return out;
    }
    int selectedColumnCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }

    int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    QList<int> selectedRows() const override {
        QList<int> rows;
        const int count = rowCount();
        for (int r = 0; r < count; ++r)
            if (isRowSelected(r))
                rows << r;
        return rows;
    }
    bool isRowSelected(int row) const override {
        QAbstractItemView* v = view();
        if (v == nullptr || v->selectionModel() == nullptr)
            return false;
        const QModelIndex index = modelIndex(row, 0);
        return index.isValid() && v->selectionModel()->isRowSelected(index.row(), index.parent());
    }
    bool selectRow(int row) override { return changeRow(row, true); }
    bool unselectRow(int row) override { return changeRow(row, false); }

    // Qt tells of a change of the model here, before the bridge hears of it.
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            changed();
    }

    // The number of the child that shows `index`, or -1.
    int childNumberOf(const QModelIndex& index) const {
        QAbstractItemView* v = view();
        if (v == nullptr || !index.isValid() || index.model() != model_)
            return -1;
        int row = -1;
        int column = index.column();
        switch (kind_) {
        case ViewKind::Table:
            row = index.parent() == v->rootIndex() ? index.row() : -1;
            break;
        case ViewKind::List:
            row = index.parent() == v->rootIndex() ? index.row() : -1;
            column = index.column() == static_cast<QListView*>(v)->modelColumn() ? 0 : -1;
            break;
        case ViewKind::Tree:
            row = treeRowOf(index);
            break;
        }
        if (row < 0 || column < 0 || column >= columnCount())
            return -1;
        return (row + headerRows()) * stride() + column + headerColumns();
    }

    // The table row of `index` (its place among the shown rows of a tree), or -1.
    int tableRowOf(const QModelIndex& index) const {
        const int number = childNumberOf(index);
        return number < 0 ? -1 : number / stride() - headerRows();
    }

    // The header cell over `column`, or null (a list has none).
    QAccessibleInterface* columnHeader(int column) const {
        if (headerRows() == 0 || column < 0 || column >= columnCount())
            return nullptr;
        return child(column + headerColumns());
    }
    QAccessibleInterface* rowHeader(int row) const {
        if (headerColumns() == 0 || row < 0 || row >= rowCount())
            return nullptr;
        return child((row + headerRows()) * stride());
    }

private:
    int headerRows() const { return kind_ == ViewKind::List ? 0 : 1; }
    int headerColumns() const { return kind_ == ViewKind::Table ? 1 : 0; }
    int stride() const { return columnCount() + headerColumns(); }

    QAccessible::Role cellRole() const {
        switch (kind_) {
        case ViewKind::Tree:
            return QAccessible::TreeItem;
        case ViewKind::List:
            return QAccessible::ListItem;
        case ViewKind::Table:
            break;
        }
        return QAccessible::Cell;
    }

    // The model index of a table row and column, or an invalid one.
    QModelIndex modelIndex(int row, int column) const {
        QAbstractItemView* v = view();
        if (v == nullptr || model_ == nullptr || row < 0 || column < 0)
            return {};
        switch (kind_) {
        case ViewKind::Table:
            return model_->index(row, column, v->rootIndex());
        case ViewKind::List:
            return column == 0 ? model_->index(row, static_cast<QListView*>(v)->modelColumn(),
                                               v->rootIndex())
                               : QModelIndex();
        case ViewKind::Tree: {
            if (row >= static_cast<int>(treeRows_.size()))
                return {};
            const QModelIndex first = treeRows_[static_cast<size_t>(row)];
            return first.isValid() ? model_->index(first.row(), column, first.parent())
                                   : QModelIndex();
        }
        }
        return {};
    }

    int treeRowOf(const QModelIndex& index) const {
        const auto found = treeRowOf_.constFind(index.siblingAtColumn(0));
        return found != treeRowOf_.constEnd() ? found.value() : -1;
    }

    // The number a child of this view stands at now, or -1 (the view's sync() is done).
    int numberOf(const QAccessibleInterface* child) const {
        if (const auto* cell = dynamic_cast<const ItemCellAccessible*>(child))
            return cell->view() == view() && cell->isValid() ? childNumberOf(cell->modelIndex())
                                                             : -1;
        if (const auto* header = dynamic_cast<const ItemHeaderAccessible*>(child)) {
            if (header->view() != view() || !header->isValid())
                return -1;
            if (header->orientation() == Qt::Horizontal && headerRows() > 0)
                return header->section() + headerColumns();
            if (header->orientation() == Qt::Vertical && headerColumns() > 0)
                return (header->section() + headerRows()) * stride();
        }
        return -1;
    }

    std::vector<int> selectedNumbers() const {
        std::vector<int> numbers;
        QAbstractItemView* v = view();
        if (v == nullptr || v->selectionModel() == nullptr || !sync())
            return numbers;
        for (const QModelIndex& index : v->selectionModel()->selectedIndexes())
            if (const int number = childNumberOf(index); number >= 0)
                numbers.push_back(number);
        return numbers;
    }

    bool changeRow(int row, bool select) {
        QAbstractItemView* v = view();
        if (v == nullptr || v->selectionModel() == nullptr ||
            v->selectionMode() == QAbstractItemView::NoSelection)
            return false;
        const QModelIndex index = modelIndex(row, 0);
        if (!index.isValid())
            return false;
        QItemSelectionModel::SelectionFlags how = QItemSelectionModel::Rows;
        if (!select)
            how |= QItemSelectionModel::Deselect;
        else if (v->selectionMode() == QAbstractItemView::SingleSelection)
            how |= QItemSelectionModel::ClearAndSelect;
        else
            how |= QItemSelectionModel::Select;
        v->selectionModel()->select(index, how);
        return true;
    }

    // Follows the view's model: after a new model or root, or a change of the model's rows,
    // columns or order (and, in a tree, of what is expanded), the shown rows are read again and
    // each cell made so far takes the number its item now stands at; the cells of items gone are
    // retired. False while the view has no model.
    bool sync() const {
        QAbstractItemView* v = view();
        QAbstractItemModel* m = v != nullptr ? v->model() : nullptr;
        if (m == nullptr)
            return false;
        if (m != model_ || root_ != v->rootIndex())
            watch(v, m);
        if (kind_ == ViewKind::Tree && rowsStale_)
            readTreeRows(static_cast<QTreeView*>(v));
        if (renumber_)
            renumber();
        return true;
    }

    void watch(QAbstractItemView* v, QAbstractItemModel* m) const {
        changed();
        model_ = m;
        root_ = v->rootIndex();
        modelContext_ = std::make_unique<QObject>();
        QObject* context = modelContext_.get();
        const auto changed = [this] { this->changed(); };
        QObject::connect(m, &QAbstractItemModel::rowsInserted, context, changed);
        QObject::connect(m, &QAbstractItemModel::rowsRemoved, context, changed);
        QObject::connect(m, &QAbstractItemModel::rowsMoved, context, changed);
        QObject::connect(m, &QAbstractItemModel::columnsInserted, context, changed);
        QObject::connect(m, &QAbstractItemModel::columnsRemoved, context, changed);
        QObject::connect(m, &QAbstractItemModel::columnsMoved, context, changed);
        QObject::connect(m, &QAbstractItemModel::layoutChanged, context, changed);
        QObject::connect(m, &QAbstractItemModel::modelReset, context, changed);
        QObject::connect(m, &QAbstractItemModel::dataChanged, context,
                         [this](const QModelIndex& from, const QModelIndex& to,
                                const QList<int>& roles) { announceChecks(from, to, roles); });
        if (viewContext_ == nullptr && kind_ == ViewKind::Tree) {
            viewContext_ = std::make_unique<QObject>();
            auto* tree = static_cast<QTreeView*>(v);
            QObject::connect(tree, &QTreeView::expanded, viewContext_.get(), changed);
            QObject::connect(tree, &QTreeView::collapsed, viewContext_.get(), changed);
        }
    }

    void readTreeRows(const QTreeView* tree) const {
        rowsStale_ = false;
        treeRows_.clear();
        treeRowOf_.clear();
        addTreeRows(tree, tree->rootIndex());
        for (size_t r = 0; r < treeRows_.size(); ++r)
            treeRowOf_.insert(treeRows_[r], static_cast<int>(r));
    }

    void addTreeRows(const QTreeView* tree, const QModelIndex& parent) const {
        const int count = model_->rowCount(parent);
        for (int r = 0; r < count && treeRows_.size() < kMaxTreeRows; ++r) {
            if (tree->isRowHidden(r, parent))
                continue;
            const QModelIndex index = model_->index(r, 0, parent);
            treeRows_.emplace_back(index);
            if (tree->isExpanded(index))
                addTreeRows(tree, index);
        }
    }

    // The cells made so far may now stand at other numbers: they are numbered again when next
    // asked for (a burst of changes, as a folder is read, costs one renumbering).
    void changed() const {
        rowsStale_ = true;
        renumber_ = !cells_.isEmpty();
    }

    // Each cell keeps its identity (a screen reader's hold on it) while its item is shown; the
    // cells of items gone, or no longer shown, are retired: they still answer (nothing) until
    // they are deleted once the program is back in its event loop, so that no caller is left
    // holding a deleted cell.
    void renumber() const {
        renumber_ = false;
        QHash<int, QAccessible::Id> kept;
        for (auto it = cells_.cbegin(); it != cells_.cend(); ++it) {
            QAccessibleInterface* child = QAccessible::accessibleInterface(it.value());
            if (child == nullptr)
                continue;
            const int number = numberOf(child);
            if (number >= 0 && !kept.contains(number))
                kept.insert(number, it.value());
            else
                retired_.push_back(it.value());
        }
        cells_.swap(kept);
        if (!retired_.empty() && !deleteQueued_) {
            deleteQueued_ = true;
            QTimer::singleShot(0, guard_.get(), [this] { deleteRetired(); });
        }
    }

    void deleteRetired() const {
        deleteQueued_ = false;
        std::vector<QAccessible::Id> ids;
        ids.swap(retired_);
        for (QAccessible::Id id : ids)
            QAccessible::deleteAccessibleInterface(id);
    }

    // A tick in a list is told to whoever listens, as "checked" or no longer so. Only cells a
    // reader has asked for can be heard of (the others are made when asked).
    void announceChecks(const QModelIndex& from, const QModelIndex& to,
                        const QList<int>& roles) const {
        if (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole))
            return;
        if (!QAccessible::isActive() || cells_.isEmpty() || from.parent() != to.parent() || !sync())
            return;
        for (int row = from.row(); row <= to.row(); ++row) {
            for (int column = from.column(); column <= to.column(); ++column) {
                const QModelIndex index = from.sibling(row, column);
                if (!(index.flags() & Qt::ItemIsUserCheckable))
                    continue;
                const auto found = cells_.constFind(childNumberOf(index));
                if (found == cells_.constEnd())
                    continue;
                if (QAccessibleInterface* cell = QAccessible::accessibleInterface(found.value())) {
                    QAccessible::State changed;
                    changed.checked = true;
                    QAccessibleStateChangeEvent event(cell, changed);
                    QAccessible::updateAccessibility(&event);
                }
            }
        }
    }

    const ViewKind kind_;
    std::unique_ptr<QObject> guard_; // context of the deferred deletes
    mutable std::unique_ptr<QObject> modelContext_;
    mutable std::unique_ptr<QObject> viewContext_;
    mutable QPointer<QAbstractItemModel> model_;
    mutable QPersistentModelIndex root_;
    mutable bool rowsStale_ = true;
    mutable bool renumber_ = false;
    mutable std::vector<QPersistentModelIndex> treeRows_;
    mutable QHash<QModelIndex, int> treeRowOf_; // as treeRows_ were read
    mutable QHash<int, QAccessible::Id> cells_; // by child number
    mutable std::vector<QAccessible::Id> retired_;
    mutable bool deleteQueued_ = false;
};

ItemViewAccessible* tableOf(QAbstractItemView* view) {
    return dynamic_cast<ItemViewAccessible*>(interfaceOf(view));
}

QList<QAccessibleInterface*> ItemCellAccessible::columnHeaderCells() const {
    ItemViewAccessible* t = isValid() ? tableOf(view_.data()) : nullptr;
    QAccessibleInterface* header = t != nullptr ? t->columnHeader(columnIndex()) : nullptr;
    return header != nullptr ? QList<QAccessibleInterface*>{header}
                             : QList<QAccessibleInterface*>{};
}

QList<QAccessibleInterface*> ItemCellAccessible::rowHeaderCells() const {
    ItemViewAccessible* t = isValid() ? tableOf(view_.data()) : nullptr;
    QAccessibleInterface* header = t != nullptr ? t->rowHeader(rowIndex()) : nullptr;
    return header != nullptr ? QList<QAccessibleInterface*>{header}
                             : QList<QAccessibleInterface*>{};
}

int ItemCellAccessible::columnIndex() const {
    if (!isValid())
        return -1;
    return qobject_cast<const QListView*>(view_.data()) != nullptr ? 0 : index_.column();
}

int ItemCellAccessible::rowIndex() const {
    ItemViewAccessible* t = isValid() ? tableOf(view_.data()) : nullptr;
    return t != nullptr ? t->tableRowOf(index_) : -1;
}

QAccessibleInterface* listAccessibilityFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr)
        return nullptr;
    // A header is read through its view's header cells; on its own it is a plain widget.
    if (auto* header = qobject_cast<QHeaderView*>(widget))
        return new QAccessibleWidget(header, QAccessible::Pane);
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        if (qobject_cast<QTreeView*>(view) != nullptr)
            return new ItemViewAccessible(view, ViewKind::Tree);
        if (qobject_cast<QTableView*>(view) != nullptr)
            return new ItemViewAccessible(view, ViewKind::Table);
        if (qobject_cast<QListView*>(view) != nullptr)
            return new ItemViewAccessible(view, ViewKind::List);
        return nullptr;
    }
    // A view's viewport: Qt would make it a second interface of its view, with cells of its own.
    if (widget->objectName() == QLatin1String("qt_scrollarea_viewport") &&
        qobject_cast<QAbstractItemView*>(widget->parentWidget()) != nullptr)
        return new QAccessibleWidget(widget, QAccessible::Pane);
    return nullptr;
}

} // namespace

void InstallListAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Factories installed later are asked first: this one comes after Qt's own (installed with
    // the QApplication), so it answers for the views.
    QAccessible::installFactory(listAccessibilityFactory);
}
