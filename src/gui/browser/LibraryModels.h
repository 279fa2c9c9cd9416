// The models under the library views: a folder tree with several roots (the home folder, "/" and
// the mounted volumes), each root on a QFileSystemModel of its own, and the sort that both views
// use (folders first, then by name, byte by byte).
#pragma once

#include <QAbstractFileIconProvider>
#include <QAbstractItemModel>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QSortFilterProxyModel>

#include <deque>
#include <memory>
#include <vector>

class QFileSystemModel;

// True for a mounted volume that belongs in the folder tree: a disk, a stick or a network share;
// not "/", nor the system's own mounts (pseudo and memory file systems, /boot, /proc, /run ...).
bool isLibraryVolume(const QString& rootPath, const QString& device, const QString& fileSystemType);

// Icons and type names from the name alone. Qt's own provider reads the start of every file to
// tell its type, which hangs on a file that never ends (/proc/kmsg) and is slow on a network
// share; the library needs neither.
class LibraryIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
    // The one the library's file models share.
    static LibraryIconProvider* instance();
};

// The tree's model: one top-level row per root; below each, the folders of its QFileSystemModel.
// Each root has its own QFileSystemModel so that a folder reachable from two roots (the home
// folder is also under "/") is two distinct items, each following its own model.
class LibraryRootsModel : public QAbstractItemModel {
    Q_OBJECT
public:
    struct Root {
        QString path;
        QString name;
        QIcon icon;
    };
    explicit LibraryRootsModel(QObject* parent = nullptr);
    ~LibraryRootsModel() override;

    // Replaces the roots (a model reset); roots whose folder does not exist are left out.
    void setRoots(const std::vector<Root>& roots);
    // The home folder, "/" and the volumes that isLibraryVolume() accepts.
    static std::vector<Root> defaultRoots();
    const std::vector<Root>& roots() const { return roots_; }

    // The item of `path` under root `root` (made known to that root's model on the way); invalid
    // when the path is not inside the root.
    QModelIndex indexOf(const QString& path, int root) const;
    // The root that shows `path`: `preferred` when it holds it, else the one with the longest
    // path that does; -1 when none does.
    int rootFor(const QString& path, int preferred = -1) const;
    int rootOf(const QModelIndex& index) const;
    QString filePath(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A folder's children were read (also when it has none: its expand button may go).
    void folderLoaded();

private:
    struct Key {
        int root;
        void* node;
    };
    struct Source;

    const Key* keyOf(const QModelIndex& index) const;
    const Key* key(int root, void* node) const;
    QModelIndex toSource(const QModelIndex& index) const;
    QModelIndex fromSource(int root, const QModelIndex& source) const;
    bool inTree(int root, QModelIndex source) const;
    void connectSource(int root);

    std::vector<Root> roots_;
    std::vector<std::unique_ptr<Source>> sources_;
    mutable std::deque<Key> keys_; // stable addresses: items point at them
    mutable QHash<QPair<int, quintptr>, const Key*> keyIndex_;
    // Persistent items of one root while its model re-sorts.
    QModelIndexList layoutItems_;
    QList<QPersistentModelIndex> layoutSources_;
    std::vector<int> pending_; // per begin*Rows forwarded: 1, or 0 when it was not forwarded
};

// Folders before files, then by name compared byte by byte; the tree's roots keep their order.
class LibrarySortModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit LibrarySortModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
