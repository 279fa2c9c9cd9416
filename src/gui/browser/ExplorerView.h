// What the folder tree and the file list share: dragging out as file URLs, dropping in (copy, or
// move with Shift) with the drop target highlighted, the keys (Delete, Shift+Delete, Ctrl+C,
// Ctrl+X, Ctrl+V, F2, Ctrl+Shift+N, F5) and a context menu of the same commands.
#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>

class LibraryOperations;
class QMenu;

class ExplorerView : public QTreeView {
    Q_OBJECT
public:
    explicit ExplorerView(QWidget* parent = nullptr);

    void setOperations(LibraryOperations* operations) { operations_ = operations; }
    LibraryOperations* operations() const { return operations_; }

    // The items a command acts on (tree: its selected folder; list: the selected items).
    virtual QStringList selectedPaths() const = 0;
    // Where a paste, a new folder or a drop on empty space goes.
    virtual QString currentFolder() const = 0;
    // False for what the view must never delete, move or rename (the tree's roots).
    virtual bool isRemovable(const QString& path) const;
    // The folder highlighted as the drop target while a drag is over the view ("" for none).
    QString dropTargetPath() const;
    // The context menu (made on the first right click).
    QMenu* contextMenu() const { return menu_; }

    // The action for a drop with these keys: Shift moves, anything else copies.
    static Qt::DropAction dropAction(Qt::KeyboardModifiers modifiers, Qt::DropActions possible);

public slots:
    void copySelection();
    void cutSelection();
    void pasteHere();
    void trashSelection();
    void deleteSelection();
    void renameSelection();
    void newFolderHere();
    virtual void refresh() {}

protected:
    // The folder under a viewport position that takes a drop, with its item (invalid when the drop
    // goes to currentFolder() without an item); "" when nothing there takes it.
    virtual QString dropFolderAt(const QPoint& pos, QModelIndex& item) const = 0;
    virtual QString pathOf(const QModelIndex& index) const = 0;

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

    QStringList removableSelection() const;

private:
    QAction* addCommand(const QString& text, const QKeySequence& keys,
                        void (ExplorerView::*slot)());
    void updateCommands();
    void setDropTarget(const QModelIndex& item);
    // The drop's sources and destination folder; false when the view refuses it.
    bool acceptDrop(QDropEvent* event, QStringList& sources, QString& folder);

    LibraryOperations* operations_ = nullptr;
    QMenu* menu_ = nullptr;
    QPersistentModelIndex dropTarget_;
    QAction* copy_;
    QAction* cut_;
    QAction* paste_;
    QAction* trash_;
    QAction* delete_;
    QAction* rename_;
    QAction* newFolder_;
    QAction* refresh_;
};
