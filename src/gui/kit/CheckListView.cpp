#include "gui/kit/CheckListView.h"

#include "gui/kit/CheckListModel.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {

QStringList localFiles(const QMimeData* mime) {
    QStringList out;
    if (mime == nullptr || !mime->hasUrls())
        return out;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            out << url.toLocalFile();
    return out;
}

// Check boxes drawn white with a dark frame, so that they stand out on any list colour.
class CheckDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->features & QStyleOptionViewItem::HasCheckIndicator) {
            option->palette.setColor(QPalette::Base, Qt::white);
            option->palette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
            option->palette.setColor(QPalette::Text, QColor(0x20, 0x20, 0x20));
        }
    }
};

} // namespace

CheckListView::CheckListView(const QString& accessibleName, QWidget* parent) : QTableView(parent) {
    setItemDelegate(new CheckDelegate(this));
    setAccessibleName(accessibleName);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false); // Tab moves on to the next list
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
}

void CheckListView::setCheckModel(CheckListModel* model) {
    model_ = model;
    setModel(model);
    const auto& cols = model->columns();
    for (int c = 0; c < cols.size(); ++c)
        setColumnWidth(c, cols[c].width);
    horizontalHeader()->setMinimumSectionSize(24);
    // After the view's own handling of each change (connected first), which clears the current
    // cell on a reset.
    connect(model, &QAbstractItemModel::modelReset, this, &CheckListView::placeCurrent);
    connect(model, &QAbstractItemModel::rowsInserted, this, &CheckListView::placeCurrent);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &CheckListView::placeCurrent);
    placeCurrent();
}

void CheckListView::placeCurrent() {
    if (model_ == nullptr || selectionModel() == nullptr || currentIndex().isValid() ||
        model_->rowCount() == 0 || !isVisible())
        return;
    placing_ = true;
    selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
    placing_ = false;
}

void CheckListView::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    placeCurrent();
}

void CheckListView::setListColors(const ListColors& colors) {
    if (model_ != nullptr)
        model_->setColors(colors);
    // An invalid colour stands for the style's own.
    const QPalette style = QApplication::palette(this);
    QPalette pal = palette();
    pal.setColor(QPalette::Base,
                 colors.background.isValid() ? colors.background : style.color(QPalette::Base));
    pal.setColor(QPalette::Text, colors.text.isValid() ? colors.text : style.color(QPalette::Text));
    setPalette(pal);
}

void CheckListView::applyCheckOp(CheckOp op) {
    if (model_ == nullptr)
        return;
    const QVector<int> selected = selectedRowNumbers();
    if (op == CheckOp::Unselected && selected.isEmpty())
        return;
    for (int r = 0; r < model_->rowCount(); ++r) {
        switch (op) {
        case CheckOp::All:
            model_->setChecked(r, true);
            break;
        case CheckOp::None:
            model_->setChecked(r, false);
            break;
        case CheckOp::Selected:
            if (selected.contains(r))
                model_->setChecked(r, true);
            break;
        case CheckOp::Unselected:
            model_->setChecked(r, !selected.contains(r));
            break;
        }
    }
}

void CheckListView::fitFirstColumn(const QString& sample, bool withImage) {
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, this) + 1;
    int need = style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, this) + 2 * margin;
    if (withImage)
        need += iconSize().width() + 2 * margin;
    need += fontMetrics().horizontalAdvance(sample) + 2 * margin + 4;
    if (columnWidth(0) < need)
        setColumnWidth(0, need);
}

void CheckListView::setAcceptFileDrops(bool accept) {
    fileDrops_ = accept;
    setAcceptDrops(accept);
    viewport()->setAcceptDrops(accept);
    setDragDropMode(accept ? QAbstractItemView::DropOnly : QAbstractItemView::NoDragDrop);
    setDropIndicatorShown(false);
}

QVector<int> CheckListView::selectedRowNumbers() const {
    QVector<int> out;
    if (selectionModel() == nullptr)
        return out;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        out << i.row();
    std::sort(out.begin(), out.end());
    return out;
}

int CheckListView::contentsWidthHint() const {
    int w = 0;
    if (model_ != nullptr)
        for (const auto& c : model_->columns())
            w += c.width;
    return w + 2 * frameWidth() + verticalScrollBar()->sizeHint().width() + 2;
}

void CheckListView::keyPressEvent(QKeyEvent* event) {
    // Space checks or unchecks the focused row, whichever of its cells has the focus.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier &&
        model_ != nullptr && currentIndex().isValid()) {
        const int row = currentIndex().row();
        model_->setChecked(row, !model_->isChecked(row));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CheckListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    emit focusEntered();
}

namespace {

// Files dropped on a list are only named there, never taken: the drop is a copy, whatever the
// drag proposes (Shift proposes a move, and a file manager that honours it deletes the
// originals), or a link when the source offers nothing else. A source that offers only a move
// is refused.
bool takeAsCopy(QDropEvent* event) {
    const Qt::DropActions offered = event->possibleActions();
    if (offered & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (offered & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    event->accept();
    return true;
}

} // namespace

void CheckListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!fileDrops_ || localFiles(event->mimeData()).isEmpty() || !takeAsCopy(event))
        event->ignore();
}

void CheckListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!fileDrops_ || localFiles(event->mimeData()).isEmpty() || !takeAsCopy(event))
        event->ignore();
}

void CheckListView::dropEvent(QDropEvent* event) {
    const QStringList files = fileDrops_ ? localFiles(event->mimeData()) : QStringList();
    if (files.isEmpty() || !takeAsCopy(event)) {
        event->ignore();
        return;
    }
    emit filesDropped(files);
}
