#include "gui/browser/LibraryModels.h"

#include "platform/FileOperations.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

bool isLibraryVolume(const QString& rootPath, const QString& device,
                     const QString& fileSystemType) {
    if (rootPath.isEmpty() || rootPath == QLatin1String("/"))
        return false;
    static const QStringList systemTypes = {
        "tmpfs",       "devtmpfs",       "ramfs",       "overlay",  "squashfs", "proc",
        "sysfs",       "cgroup",         "cgroup2",     "devpts",   "mqueue",   "debugfs",
        "tracefs",     "securityfs",     "pstore",      "bpf",      "autofs",   "fusectl",
        "configfs",    "hugetlbfs",      "binfmt_misc", "efivarfs", "nsfs",     "rpc_pipefs",
        "fuse.portal", "fuse.gvfsd-fuse"};
    if (systemTypes.contains(fileSystemType))
        return false;
    static const QStringList systemFolders = {"/boot", "/dev", "/etc", "/proc", "/run",
                                              "/snap", "/sys", "/tmp", "/usr",  "/var"};
    const bool removable = rootPath.startsWith(QLatin1String("/run/media/"));
    for (const QString& folder : systemFolders)
        if (!removable && (rootPath == folder || rootPath.startsWith(folder + '/')))
            return false;
    static const QStringList networkTypes = {"nfs",   "nfs4",  "cifs",      "smb3",
                                             "smbfs", "sshfs", "fuse.sshfs"};
    return networkTypes.contains(fileSystemType) || device.startsWith(QLatin1String("/dev/"));
}

QIcon LibraryIconProvider::icon(IconType type) const {
    QStyle* style = QApplication::style();
    switch (type) {
    case Folder:
        return style->standardIcon(QStyle::SP_DirIcon);
    case Drive:
    case Computer:
    case Network:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    default:
        return style->standardIcon(QStyle::SP_FileIcon);
    }
}

QIcon LibraryIconProvider::icon(const QFileInfo& info) const {
    QStyle* style = QApplication::style();
    if (info.isDir())
        return style->standardIcon(info.isSymLink() ? QStyle::SP_DirLinkIcon : QStyle::SP_DirIcon);
    return style->standardIcon(info.isSymLink() ? QStyle::SP_FileLinkIcon : QStyle::SP_FileIcon);
}

QString LibraryIconProvider::type(const QFileInfo& info) const {
    if (info.isDir())
        return LibraryRootsModel::tr("Folder");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? LibraryRootsModel::tr("File")
                            : LibraryRootsModel::tr("%1 File").arg(suffix.toUpper());
}

LibraryIconProvider* LibraryIconProvider::instance() {
    static LibraryIconProvider provider;
    return &provider;
}

namespace {

// Lets the roots model build a QFileSystemModel index from a node it remembers: only a proxy may
// call createIndex on another model.
class SourceIndexer : public QAbstractProxyModel {
public:
    explicit SourceIndexer(QAbstractItemModel* source) { setSourceModel(source); }
    QModelIndex make(int row, int column, void* node) const {
        return createSourceIndex(row, column, node);
    }
    QModelIndex mapToSource(const QModelIndex&) const override { return {}; }
    QModelIndex mapFromSource(const QModelIndex&) const override { return {}; }
    QModelIndex index(int, int, const QModelIndex&) const override { return {}; }
    QModelIndex parent(const QModelIndex&) const override { return {}; }
    int rowCount(const QModelIndex&) const override { return 0; }
    int columnCount(const QModelIndex&) const override { return 0; }
};

} // namespace

struct LibraryRootsModel::Source {
    std::unique_ptr<QFileSystemModel> fs;
    std::unique_ptr<SourceIndexer> indexer;
    QPersistentModelIndex root;
    void* rootNode = nullptr;  // compared only, never followed
    std::vector<char> pending; // per forwarded begin: 1 forwarded, 0 not, 2 a reset
};

LibraryRootsModel::LibraryRootsModel(QObject* parent) : QAbstractItemModel(parent) {}

LibraryRootsModel::~LibraryRootsModel() = default;

std::vector<LibraryRootsModel::Root> LibraryRootsModel::defaultRoots() {
    QStyle* style = QApplication::style();
    const QString home = QDir::homePath();
    std::vector<Root> roots;
    roots.push_back({home, tr("Home"), style->standardIcon(QStyle::SP_DirHomeIcon)});
    roots.push_back({"/", tr("File System"), style->standardIcon(QStyle::SP_DriveHDIcon)});
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString path = v.rootPath();
        if (!v.isValid() || !v.isReady() ||
            !isLibraryVolume(path, QString::fromUtf8(v.device()),
                             QString::fromUtf8(v.fileSystemType())))
            continue;
        // A volume that holds the home folder is already there as "Home".
        if (FileOperations::isSameOrInside(path.toStdString(), home.toStdString()))
            continue;
        QString name = v.displayName();
        if (name.isEmpty() || name == path)
            name = QFileInfo(path).fileName();
        roots.push_back({path, name, style->standardIcon(QStyle::SP_DriveHDIcon)});
    }
    return roots;
}

void LibraryRootsModel::setRoots(const std::vector<Root>& roots) {
    beginResetModel();
    // Disconnect first: a model that goes must not call back into a half-reset model.
    for (auto& s : sources_)
        s->fs->disconnect(this);
    sources_.clear();
    roots_.clear();
    keys_.clear();
    keyIndex_.clear();
    for (const Root& r : roots) {
        if (!QFileInfo(r.path).isDir())
            continue;
        auto s = std::make_unique<Source>();
        s->fs = std::make_unique<QFileSystemModel>();
        s->fs->setIconProvider(LibraryIconProvider::instance());
        s->fs->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
        s->fs->setRootPath(r.path);
        s->indexer = std::make_unique<SourceIndexer>(s->fs.get());
        s->root = s->fs->index(r.path);
        s->rootNode = s->root.internalPointer();
        roots_.push_back(r);
        sources_.push_back(std::move(s));
        connectSource(static_cast<int>(sources_.size()) - 1);
    }
    endResetModel();
}

const LibraryRootsModel::Key* LibraryRootsModel::key(int root, void* node) const {
    const QPair<int, quintptr> k(root, reinterpret_cast<quintptr>(node));
    auto it = keyIndex_.constFind(k);
    if (it != keyIndex_.constEnd())
        return it.value();
    keys_.push_back({root, node});
    keyIndex_.insert(k, &keys_.back());
    return &keys_.back();
}

const LibraryRootsModel::Key* LibraryRootsModel::keyOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<const Key*>(index.internalPointer());
}

int LibraryRootsModel::rootOf(const QModelIndex& index) const {
    const Key* k = keyOf(index);
    return k ? k->root : -1;
}

QModelIndex LibraryRootsModel::toSource(const QModelIndex& index) const {
    const Key* k = keyOf(index);
    if (!k || k->root >= static_cast<int>(sources_.size()))
        return {};
    const Source& s = *sources_[k->root];
    if (k->node == s.rootNode)
        return s.root;
    return s.indexer->make(index.row(), 0, k->node);
}

QModelIndex LibraryRootsModel::fromSource(int root, const QModelIndex& source) const {
    if (!source.isValid())
        return {};
    const Source& s = *sources_[root];
    if (source.internalPointer() == s.rootNode)
        return createIndex(root, 0, const_cast<Key*>(key(root, s.rootNode)));
    return createIndex(source.row(), 0, const_cast<Key*>(key(root, source.internalPointer())));
}

bool LibraryRootsModel::inTree(int root, QModelIndex source) const {
    const QPersistentModelIndex& top = sources_[root]->root;
    if (!top.isValid())
        return false;
    for (source = source.siblingAtColumn(0); source.isValid(); source = source.parent())
        if (source == top)
            return true;
    return false;
}

void LibraryRootsModel::connectSource(int r) {
    QFileSystemModel* fs = sources_[r]->fs.get();
    connect(fs, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, r](const QModelIndex& p, int first, int last) {
                const bool mine = inTree(r, p);
                sources_[r]->pending.push_back(mine);
                if (mine)
                    beginInsertRows(fromSource(r, p), first, last);
            });
    connect(fs, &QAbstractItemModel::rowsInserted, this, [this, r] {
        auto& pending = sources_[r]->pending;
        const char forwarded = pending.empty() ? 0 : pending.back();
        if (!pending.empty())
            pending.pop_back();
        if (forwarded)
            endInsertRows();
    });
    connect(fs, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, r](const QModelIndex& p, int first, int last) {
                Source& s = *sources_[r];
                // The root folder itself (or a folder above it) going: the tree starts over.
                bool rootGoes = false;
                for (QModelIndex i = s.root; i.isValid() && !rootGoes; i = i.parent())
                    rootGoes = i.parent() == p && i.row() >= first && i.row() <= last;
                if (rootGoes) {
                    s.pending.push_back(2);
                    beginResetModel();
                    return;
                }
                const bool mine = inTree(r, p);
                s.pending.push_back(mine);
                if (mine)
                    beginRemoveRows(fromSource(r, p), first, last);
            });
    connect(fs, &QAbstractItemModel::rowsRemoved, this, [this, r] {
        auto& pending = sources_[r]->pending;
        const char forwarded = pending.empty() ? 0 : pending.back();
        if (!pending.empty())
            pending.pop_back();
        if (forwarded == 1) {
            endRemoveRows();
        } else if (forwarded == 2) {
            keys_.clear();
            keyIndex_.clear();
            endResetModel();
        }
    });
    connect(fs, &QAbstractItemModel::dataChanged, this,
            [this, r](const QModelIndex& tl, const QModelIndex& br, const QList<int>& roles) {
                if (inTree(r, tl.parent())) {
                    emit dataChanged(fromSource(r, tl), fromSource(r, br), roles);
                } else {
                    const QPersistentModelIndex& top = sources_[r]->root;
                    if (top.isValid() && top.parent() == tl.parent() && top.row() >= tl.row() &&
                        top.row() <= br.row())
                        emit dataChanged(index(r, 0), index(r, 0), roles);
                }
            });
    connect(fs, &QAbstractItemModel::layoutAboutToBeChanged, this, [this, r] {
        emit layoutAboutToBeChanged();
        for (const QModelIndex& i : persistentIndexList()) {
            if (rootOf(i) != r)
                continue;
            layoutItems_.append(i);
            layoutSources_.append(QPersistentModelIndex(toSource(i)));
        }
    });
    connect(fs, &QAbstractItemModel::layoutChanged, this, [this, r] {
        QModelIndexList to;
        for (const QPersistentModelIndex& s : layoutSources_)
            to.append(fromSource(r, s));
        changePersistentIndexList(layoutItems_, to);
        layoutItems_.clear();
        layoutSources_.clear();
        emit layoutChanged();
    });
    connect(fs, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(fs, &QAbstractItemModel::modelReset, this, [this, r] {
        Source& s = *sources_[r];
        s.root = s.fs->index(roots_[r].path);
        s.rootNode = s.root.internalPointer();
        keys_.clear();
        keyIndex_.clear();
        endResetModel();
    });
    connect(fs, &QFileSystemModel::directoryLoaded, this, &LibraryRootsModel::folderLoaded);
}

QModelIndex LibraryRootsModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid()) {
        if (row >= static_cast<int>(sources_.size()))
            return {};
        return createIndex(row, 0, const_cast<Key*>(key(row, sources_[row]->rootNode)));
    }
    const QModelIndex sp = toSource(parent);
    if (!sp.isValid())
        return {};
    const QModelIndex sc = sources_[rootOf(parent)]->fs->index(row, 0, sp);
    return fromSource(rootOf(parent), sc);
}

QModelIndex LibraryRootsModel::parent(const QModelIndex& child) const {
    const Key* k = keyOf(child);
    if (!k || k->node == sources_[k->root]->rootNode)
        return {};
    return fromSource(k->root, toSource(child).parent());
}

QModelIndex LibraryRootsModel::sibling(int row, int column, const QModelIndex& idx) const {
    return index(row, column, parent(idx));
}

int LibraryRootsModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(sources_.size());
    const QModelIndex s = toSource(parent);
    return s.isValid() ? sources_[rootOf(parent)]->fs->rowCount(s) : 0;
}

int LibraryRootsModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool LibraryRootsModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return !sources_.empty();
    const QModelIndex s = toSource(parent);
    if (!s.isValid())
        return false;
    const QFileSystemModel* fs = sources_[rootOf(parent)]->fs.get();
    // Not read yet: a folder may have sub-folders. Read: it has them only if it shows some.
    if (fs->canFetchMore(s))
        return fs->hasChildren(s);
    return fs->rowCount(s) > 0;
}

bool LibraryRootsModel::canFetchMore(const QModelIndex& parent) const {
    const QModelIndex s = toSource(parent);
    return s.isValid() && sources_[rootOf(parent)]->fs->canFetchMore(s);
}

void LibraryRootsModel::fetchMore(const QModelIndex& parent) {
    const QModelIndex s = toSource(parent);
    if (s.isValid())
        sources_[rootOf(parent)]->fs->fetchMore(s);
}

QVariant LibraryRootsModel::data(const QModelIndex& index, int role) const {
    const Key* k = keyOf(index);
    if (!k)
        return {};
    if (k->node == sources_[k->root]->rootNode) {
        const Root& r = roots_[k->root];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return r.name;
        case Qt::ToolTipRole:
            return r.path;
        case Qt::DecorationRole:
            if (!r.icon.isNull())
                return r.icon;
            break;
        case QFileSystemModel::FilePathRole:
            return r.path;
        default:
            break;
        }
    }
    const QModelIndex s = toSource(index);
    return s.isValid() ? s.data(role) : QVariant();
}

Qt::ItemFlags LibraryRootsModel::flags(const QModelIndex& index) const {
    if (!keyOf(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QModelIndex LibraryRootsModel::indexOf(const QString& path, int root) const {
    if (root < 0 || root >= static_cast<int>(sources_.size()))
        return {};
    const QString clean = QDir::cleanPath(path);
    if (!FileOperations::isSameOrInside(roots_[root].path.toStdString(), clean.toStdString()))
        return {};
    const QModelIndex s = sources_[root]->fs->index(clean);
    if (!inTree(root, s))
        return {};
    return fromSource(root, s);
}

int LibraryRootsModel::rootFor(const QString& path, int preferred) const {
    const std::string p = QDir::cleanPath(path).toStdString();
    const auto holds = [&](int r) {
        return r >= 0 && r < static_cast<int>(roots_.size()) &&
               FileOperations::isSameOrInside(roots_[r].path.toStdString(), p);
    };
    if (holds(preferred))
        return preferred;
    int best = -1;
    for (int r = 0; r < static_cast<int>(roots_.size()); ++r)
        if (holds(r) && (best < 0 || roots_[r].path.size() > roots_[best].path.size()))
            best = r;
    return best;
}

QString LibraryRootsModel::filePath(const QModelIndex& index) const {
    return data(index, QFileSystemModel::FilePathRole).toString();
}

// ---- Sort ----

LibrarySortModel::LibrarySortModel(QObject* parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(true);
}

bool LibrarySortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (!left.parent().isValid() && qobject_cast<const LibraryRootsModel*>(sourceModel()))
        return left.row() < right.row(); // the tree's roots keep their order
    if (const auto* fs = qobject_cast<const QFileSystemModel*>(sourceModel())) {
        const bool l = fs->isDir(left), r = fs->isDir(right);
        if (l != r)
            return l;
    }
    // Byte by byte, as the names are stored: "B" before "a", "10" before "9".
    return left.data(QFileSystemModel::FileNameRole).toString().toUtf8() <
           right.data(QFileSystemModel::FileNameRole).toString().toUtf8();
}
