#include "gui/browser/ExplorerView.h"

#include "gui/browser/LibraryOperations.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

ExplorerView::ExplorerView(QWidget* parent) : QTreeView(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false); // the target folder is highlighted instead
    setDragDropMode(QAbstractItemView::DragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // Rename asks for the name
    setUniformRowHeights(true);

    copy_ = addCommand(tr("Copy"), QKeySequence::Copy, &ExplorerView::copySelection);
    cut_ = addCommand(tr("Cut"), QKeySequence::Cut, &ExplorerView::cutSelection);
    paste_ = addCommand(tr("Paste"), QKeySequence::Paste, &ExplorerView::pasteHere);
    trash_ = addCommand(tr("Move to Trash"), QKeySequence(Qt::Key_Delete),
                        &ExplorerView::trashSelection);
    delete_ = addCommand(tr("Delete Permanently"), QKeySequence(Qt::SHIFT | Qt::Key_Delete),
                         &ExplorerView::deleteSelection);
    rename_ = addCommand(tr("Rename"), QKeySequence(Qt::Key_F2), &ExplorerView::renameSelection);
    newFolder_ = addCommand(tr("New Folder"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                            &ExplorerView::newFolderHere);
    refresh_ = addCommand(tr("Refresh"), QKeySequence(Qt::Key_F5), &ExplorerView::refresh);
}

QAction* ExplorerView::addCommand(const QString& text, const QKeySequence& keys,
                                  void (ExplorerView::*slot)()) {
    auto* a = new QAction(text, this);
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WidgetShortcut);
    connect(a, &QAction::triggered, this, slot);
    addAction(a);
    return a;
}

bool ExplorerView::isRemovable(const QString&) const {
    return true;
}

QStringList ExplorerView::removableSelection() const {
    QStringList out;
    for (const QString& p : selectedPaths())
        if (!p.isEmpty() && isRemovable(p))
            out << p;
    return out;
}

void ExplorerView::updateCommands() {
    const QStringList selected = selectedPaths();
    const QStringList removable = removableSelection();
    const bool whole = !selected.isEmpty() && removable.size() == selected.size();
    QStringList offered;
    copy_->setEnabled(!selected.isEmpty());
    cut_->setEnabled(whole);
    trash_->setEnabled(whole);
    delete_->setEnabled(whole);
    rename_->setEnabled(whole && selected.size() == 1);
    paste_->setEnabled(
        !currentFolder().isEmpty() &&
        LibraryOperations::offeredPaths(QApplication::clipboard()->mimeData(), offered));
    newFolder_->setEnabled(!currentFolder().isEmpty());
}

// ---- Commands ----
// Each acts only on what it may: a tree root is never cut, deleted or renamed.

void ExplorerView::copySelection() {
    if (operations_)
        operations_->copyToClipboard(selectedPaths(), false);
}

void ExplorerView::cutSelection() {
    const QStringList paths = removableSelection();
    if (operations_ && !paths.isEmpty() && paths.size() == selectedPaths().size())
        operations_->copyToClipboard(paths, true);
}

void ExplorerView::pasteHere() {
    if (operations_)
        operations_->paste(currentFolder());
}

void ExplorerView::trashSelection() {
    const QStringList paths = removableSelection();
    if (operations_ && !paths.isEmpty() && paths.size() == selectedPaths().size())
        operations_->moveToTrash(paths);
}

void ExplorerView::deleteSelection() {
    const QStringList paths = removableSelection();
    if (operations_ && !paths.isEmpty() && paths.size() == selectedPaths().size())
        operations_->deletePermanently(paths);
}

void ExplorerView::renameSelection() {
    const QStringList paths = removableSelection();
    if (operations_ && paths.size() == 1 && selectedPaths().size() == 1)
        operations_->rename(paths[0]);
}

void ExplorerView::newFolderHere() {
    if (operations_)
        operations_->newFolder(currentFolder());
}

void ExplorerView::contextMenuEvent(QContextMenuEvent* event) {
    if (!menu_) {
        menu_ = new QMenu(this);
        menu_->addAction(copy_);
        menu_->addAction(cut_);
        menu_->addAction(paste_);
        menu_->addSeparator();
        menu_->addAction(trash_);
        menu_->addAction(delete_);
        menu_->addSeparator();
        menu_->addAction(rename_);
        menu_->addAction(newFolder_);
        menu_->addSeparator();
        menu_->addAction(refresh_);
        // The menu greys out what does not apply; the keys stay live (each command checks).
        connect(menu_, &QMenu::aboutToHide, this, [this] {
            for (QAction* a : actions())
                a->setEnabled(true);
        });
    }
    updateCommands();
    menu_->popup(event->globalPos());
    event->accept();
}

// ---- Drag and drop ----

Qt::DropAction ExplorerView::dropAction(Qt::KeyboardModifiers modifiers, Qt::DropActions possible) {
    if ((modifiers & Qt::ShiftModifier) && (possible & Qt::MoveAction))
        return Qt::MoveAction;
    return Qt::CopyAction;
}

QString ExplorerView::dropTargetPath() const {
    return dropTarget_.isValid() ? pathOf(dropTarget_) : QString();
}

void ExplorerView::setDropTarget(const QModelIndex& item) {
    if (QModelIndex(dropTarget_) == item)
        return;
    dropTarget_ = item;
    viewport()->update();
}

bool ExplorerView::acceptDrop(QDropEvent* event, QStringList& sources, QString& folder) {
    QModelIndex item;
    QStringList offered;
    if (!LibraryOperations::offeredPaths(event->mimeData(), offered))
        return false;
    folder = dropFolderAt(event->position().toPoint(), item);
    if (folder.isEmpty())
        return false;
    sources = LibraryOperations::dropSources(offered, folder);
    if (sources.isEmpty())
        return false; // onto itself, or where the items already are
    setDropTarget(item);
    return true;
}

void ExplorerView::dragEnterEvent(QDragEnterEvent* event) {
    QStringList offered;
    if (!LibraryOperations::offeredPaths(event->mimeData(), offered)) {
        event->ignore();
        return;
    }
    setState(DraggingState);
    event->setDropAction(dropAction(event->modifiers(), event->possibleActions()));
    event->accept();
}

void ExplorerView::dragMoveEvent(QDragMoveEvent* event) {
    // The base scrolls near the edges and opens a folder held over; whether the drop is taken is
    // decided here, not by the file model.
    QTreeView::dragMoveEvent(event);
    QStringList sources;
    QString folder;
    if (!acceptDrop(event, sources, folder)) {
        setDropTarget({});
        event->ignore();
        return;
    }
    event->setDropAction(dropAction(event->modifiers(), event->possibleActions()));
    event->accept();
}

void ExplorerView::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropTarget({});
    QTreeView::dragLeaveEvent(event);
}

void ExplorerView::dropEvent(QDropEvent* event) {
    QStringList sources;
    QString folder;
    const bool taken = acceptDrop(event, sources, folder);
    setDropTarget({});
    setState(NoState);
    stopAutoScroll();
    if (!taken || !operations_) {
        event->ignore();
        return;
    }
    const bool move = dropAction(event->modifiers(), event->possibleActions()) == Qt::MoveAction;
    operations_->transfer(sources, folder, move, false);
    // This view moves the files itself: the source of the drag must never delete anything
    // afterwards, so it is told "copy" in every case.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ExplorerView::startDrag(Qt::DropActions) {
    const QStringList paths = selectedPaths();
    // A tree root is never dragged: a move would take the whole volume or home folder along.
    if (paths.isEmpty() || removableSelection().size() != paths.size())
        return;
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QModelIndex current = currentIndex();
    const QIcon icon = current.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        drag->setPixmap(icon.pixmap(32));
    drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
}

void ExplorerView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (!dropTarget_.isValid() || index.siblingAtColumn(0) != QModelIndex(dropTarget_))
        return;
    painter->save();
    QColor fill = palette().color(QPalette::Highlight);
    fill.setAlpha(80);
    painter->fillRect(option.rect, fill);
    painter->setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    painter->restore();
}
