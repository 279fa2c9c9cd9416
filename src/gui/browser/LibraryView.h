// The station's file library: the folder tree beside the list of the selected folder's contents
// (the tree about a quarter of the width), and the progress strip of a running file operation.
#pragma once

#include <QWidget>

class CExplorerListView;
class CExplorerTreeView;
class LibraryOperations;
class QSplitter;

class LibraryView : public QWidget {
    Q_OBJECT
public:
    explicit LibraryView(QWidget* parent = nullptr);

    CExplorerTreeView* tree() const { return tree_; }
    CExplorerListView* list() const { return list_; }
    LibraryOperations* operations() const { return operations_; }

    // Selects `folder` in the tree and lists it; false when it cannot be shown.
    bool startAt(const QString& folder);
    // The folder the list shows.
    QString currentFolder() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CExplorerTreeView* tree_;
    CExplorerListView* list_;
    LibraryOperations* operations_;
    QSplitter* splitter_;
    bool splitterMoved_ = false;
};
