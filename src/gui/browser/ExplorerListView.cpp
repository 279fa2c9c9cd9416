#include "gui/browser/ExplorerListView.h"

#include "gui/browser/LibraryModels.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTimer>

CExplorerListView::CExplorerListView(QWidget* parent) : ExplorerView(parent) {
    makeModel();
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAccessibleName(tr("Files"));
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionsClickable(false); // one order: folders first, then by name
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        const QModelIndex source = sort_->mapToSource(index);
        if (files_->isDir(source))
            emit folderActivated(files_->filePath(source));
    });
}

void CExplorerListView::makeModel() {
    QFileSystemModel* oldFiles = files_;
    LibrarySortModel* oldSort = sort_;
    QItemSelectionModel* oldSelection = selectionModel();
    files_ = new QFileSystemModel(this);
    files_->setIconProvider(LibraryIconProvider::instance());
    files_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    sort_ = new LibrarySortModel(this);
    sort_->setSourceModel(files_);
    sort_->sort(0, Qt::AscendingOrder);
    setModel(sort_);
    delete oldSelection;
    delete oldSort;
    delete oldFiles;
    // The shown folder removed outside the program: show the nearest folder above that exists.
    connect(files_, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!folder_.isEmpty() && !rootIndex().isValid())
            QTimer::singleShot(0, this, &CExplorerListView::folderGone);
    });
}

void CExplorerListView::refresh() {
    // A model read afresh: what the file watcher may have missed (a network share) shows up.
    makeModel();
    if (!folder_.isEmpty())
        showFolder(folder_);
}

void CExplorerListView::folderGone() {
    QString p = folder_;
    while (!QFileInfo(p).isDir() && p != QLatin1String("/"))
        p = QFileInfo(p).absolutePath();
    if (p != folder_ || !rootIndex().isValid())
        showFolder(p);
}

void CExplorerListView::showFolder(const QString& path) {
    if (path.isEmpty())
        return; // nothing selected in the tree: the list stays as it is
    folder_ = QDir::cleanPath(path);
    pendingSelect_.clear();
    const QModelIndex source = files_->setRootPath(folder_);
    setRootIndex(sort_->mapFromSource(source));
    setColumnWidth(1, 90);
    setColumnWidth(2, 110);
    setColumnWidth(3, 140);
    emit folderShown(folder_);
}

QString CExplorerListView::pathOf(const QModelIndex& index) const {
    return files_->filePath(sort_->mapToSource(index));
}

QStringList CExplorerListView::shownNames() const {
    QStringList out;
    const QModelIndex root = rootIndex();
    if (!root.isValid())
        return out;
    for (int row = 0; row < model()->rowCount(root); ++row)
        out << model()->index(row, 0, root).data(QFileSystemModel::FileNameRole).toString();
    return out;
}

bool CExplorerListView::selectPath(const QString& path) {
    const QModelIndex source = files_->index(QDir::cleanPath(path));
    const QModelIndex item = sort_->mapFromSource(source);
    if (!item.isValid() || item.parent() != rootIndex())
        return false;
    setCurrentIndex(item);
    scrollTo(item);
    return true;
}

void CExplorerListView::selectWhenShown(const QString& path) {
    pendingSelect_ = selectPath(path) ? QString() : QDir::cleanPath(path);
}

void CExplorerListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    ExplorerView::rowsInserted(parent, start, end);
    if (!pendingSelect_.isEmpty() && selectPath(pendingSelect_))
        pendingSelect_.clear();
}

QStringList CExplorerListView::selectedPaths() const {
    QStringList out;
    for (const QModelIndex& i : selectionModel()->selectedRows(0))
        if (i.parent() == rootIndex())
            out << pathOf(i);
    return out;
}

QString CExplorerListView::dropFolderAt(const QPoint& pos, QModelIndex& item) const {
    const QModelIndex at = indexAt(pos);
    if (at.isValid() && files_->isDir(sort_->mapToSource(at))) {
        item = at.siblingAtColumn(0);
        return pathOf(item);
    }
    item = {};
    return folder_;
}
