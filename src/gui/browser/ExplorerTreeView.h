// The library's folder tree: the home folder, "/" and the mounted volumes as roots, folders only,
// sorted by name, expand buttons only where there are sub-folders. A folder removed outside the
// program vanishes; when it was the selected one, the folder that held it is selected instead.
#pragma once

#include "gui/browser/ExplorerView.h"

class LibraryRootsModel;
class LibrarySortModel;

class CExplorerTreeView : public ExplorerView {
    Q_OBJECT
public:
    explicit CExplorerTreeView(QWidget* parent = nullptr);

    // Expands the tree down to `path` and selects it (the nearest folder above it that exists,
    // when it does not); false when no root holds it.
    bool selectFolder(const QString& path);
    QString selectedFolder() const;
    QStringList rootPaths() const;
    LibraryRootsModel* rootsModel() const { return roots_; }
    LibrarySortModel* sortModel() const { return sort_; }

    QStringList selectedPaths() const override;
    QString currentFolder() const override { return selectedFolder(); }
    bool isRemovable(const QString& path) const override;

public slots:
    // Reads the folders and the mounted volumes again.
    void refresh() override;

signals:
    void folderSelected(const QString& path);

protected:
    QString dropFolderAt(const QPoint& pos, QModelIndex& item) const override;
    QString pathOf(const QModelIndex& index) const override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void readAhead(const QModelIndex& parent, int start, int end);

    LibraryRootsModel* roots_;
    LibrarySortModel* sort_;
    QString shown_; // the folder last announced by folderSelected
};
