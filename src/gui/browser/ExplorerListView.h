// The library's file list: the contents of the folder selected in the tree, folders first, then
// files, each group by name, with icons, sizes and dates. Double-click (or Enter) on a folder asks
// the tree to select it.
#pragma once

#include "gui/browser/ExplorerView.h"

class LibrarySortModel;
class QFileSystemModel;

class CExplorerListView : public ExplorerView {
    Q_OBJECT
public:
    explicit CExplorerListView(QWidget* parent = nullptr);

    void showFolder(const QString& path);
    QString folder() const { return folder_; }
    // The names shown, in their order.
    QStringList shownNames() const;
    // Selects the shown item of that path (once it is there).
    bool selectPath(const QString& path);
    // Selects it now, or as soon as the list shows it (a folder just made outside the model).
    void selectWhenShown(const QString& path);
    QFileSystemModel* fileModel() const { return files_; }

    QStringList selectedPaths() const override;
    QString currentFolder() const override { return folder_; }

public slots:
    // Reads the shown folder afresh.
    void refresh() override;

signals:
    // A folder of the list was opened: the tree selects it.
    void folderActivated(const QString& path);
    // The list shows `path` now (a visit, or a refresh).
    void folderShown(const QString& path);

protected:
    QString dropFolderAt(const QPoint& pos, QModelIndex& item) const override;
    QString pathOf(const QModelIndex& index) const override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    void makeModel();
    void folderGone();

    QFileSystemModel* files_ = nullptr;
    LibrarySortModel* sort_ = nullptr;
    QString folder_;
    QString pendingSelect_;
};
