#include "gui/browser/ExplorerTreeView.h"

#include "gui/browser/LibraryModels.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace {
// Folders read ahead per expanded folder, so that their expand buttons are right; a huge folder
// is not read ahead beyond this.
constexpr int kReadAhead = 200;
} // namespace

CExplorerTreeView::CExplorerTreeView(QWidget* parent) : ExplorerView(parent) {
    roots_ = new LibraryRootsModel(this);
    sort_ = new LibrarySortModel(this);
    roots_->setRoots(LibraryRootsModel::defaultRoots());
    sort_->setSourceModel(roots_);
    sort_->sort(0, Qt::AscendingOrder);
    setModel(sort_);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(tr("Folders"));
    setAutoExpandDelay(700); // a folder held under a drag opens
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        readAhead(index, 0, model()->rowCount(index) - 1);
    });
    // A folder read and found empty loses its expand button on the next layout.
    connect(roots_, &LibraryRootsModel::folderLoaded, this,
            [this] { scheduleDelayedItemsLayout(); });
    if (model()->rowCount() > 0) {
        expand(model()->index(0, 0));
        setCurrentIndex(model()->index(0, 0));
    }
}

QString CExplorerTreeView::pathOf(const QModelIndex& index) const {
    return roots_->filePath(sort_->mapToSource(index));
}

QString CExplorerTreeView::selectedFolder() const {
    return currentIndex().isValid() ? pathOf(currentIndex()) : QString();
}

QStringList CExplorerTreeView::selectedPaths() const {
    const QString folder = selectedFolder();
    return folder.isEmpty() ? QStringList() : QStringList{folder};
}

QStringList CExplorerTreeView::rootPaths() const {
    QStringList out;
    for (const auto& r : roots_->roots())
        out << r.path;
    return out;
}

bool CExplorerTreeView::isRemovable(const QString& path) const {
    return !path.isEmpty() && !rootPaths().contains(QDir::cleanPath(path));
}

bool CExplorerTreeView::selectFolder(const QString& path) {
    QString p = QDir::cleanPath(path);
    while (!QFileInfo(p).isDir() && p != QLatin1String("/") && !p.isEmpty())
        p = QFileInfo(p).absolutePath();
    const int current = roots_->rootOf(sort_->mapToSource(currentIndex()));
    const int root = roots_->rootFor(p, current);
    if (root < 0)
        return false;
    const QModelIndex item = sort_->mapFromSource(roots_->indexOf(p, root));
    if (!item.isValid())
        return false;
    for (QModelIndex a = item.parent(); a.isValid(); a = a.parent())
        expand(a);
    setCurrentIndex(item);
    scrollTo(item);
    return true;
}

void CExplorerTreeView::refresh() {
    // Everything read afresh, the volumes too; the selected folder stays selected.
    const QString keep = selectedFolder();
    roots_->setRoots(LibraryRootsModel::defaultRoots());
    if (model()->rowCount() == 0)
        return;
    expand(model()->index(0, 0));
    if (keep.isEmpty() || !selectFolder(keep))
        setCurrentIndex(model()->index(0, 0));
}

void CExplorerTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    ExplorerView::currentChanged(current, previous);
    const QString path = current.isValid() ? pathOf(current) : QString();
    if (path != shown_) {
        shown_ = path;
        emit folderSelected(path);
    }
}

void CExplorerTreeView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // The selected folder, or one above it, is going: the folder that held it takes its place
    // (rather than whichever neighbour the selection would fall on).
    for (QModelIndex i = currentIndex(); i.isValid(); i = i.parent()) {
        if (i.parent() == parent && i.row() >= start && i.row() <= end) {
            if (parent.isValid())
                setCurrentIndex(parent);
            break;
        }
    }
    ExplorerView::rowsAboutToBeRemoved(parent, start, end);
}

void CExplorerTreeView::rowsInserted(const QModelIndex& parent, int start, int end) {
    ExplorerView::rowsInserted(parent, start, end);
    if (!parent.isValid() || isExpanded(parent))
        readAhead(parent, start, end);
}

void CExplorerTreeView::readAhead(const QModelIndex& parent, int start, int end) {
    for (int row = start; row <= end && row < kReadAhead; ++row) {
        const QModelIndex child = model()->index(row, 0, parent);
        if (model()->canFetchMore(child))
            model()->fetchMore(child);
    }
}

QString CExplorerTreeView::dropFolderAt(const QPoint& pos, QModelIndex& item) const {
    item = indexAt(pos);
    return item.isValid() ? pathOf(item) : QString();
}

void CExplorerTreeView::contextMenuEvent(QContextMenuEvent* event) {
    // The menu is for the folder under the pointer: select it first.
    const QModelIndex at = indexAt(event->pos());
    if (at.isValid())
        setCurrentIndex(at);
    ExplorerView::contextMenuEvent(event);
}
