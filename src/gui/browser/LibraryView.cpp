#include "gui/browser/LibraryView.h"

#include "gui/browser/ExplorerListView.h"
#include "gui/browser/ExplorerTreeView.h"
#include "gui/browser/LibraryOperations.h"

#include <QFileInfo>
#include <QResizeEvent>
#include <QSplitter>
#include <QVBoxLayout>

LibraryView::LibraryView(QWidget* parent) : QWidget(parent) {
    splitter_ = new QSplitter(Qt::Horizontal, this);
    tree_ = new CExplorerTreeView(splitter_);
    list_ = new CExplorerListView(splitter_);
    splitter_->addWidget(tree_);
    splitter_->addWidget(list_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 3);
    splitter_->setChildrenCollapsible(false);
    operations_ = new LibraryOperations(this);
    tree_->setOperations(operations_);
    list_->setOperations(operations_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splitter_, 1);
    layout->addWidget(operations_);

    connect(tree_, &CExplorerTreeView::folderSelected, list_, &CExplorerListView::showFolder);
    // A visited folder is repaired of what an interrupted operation left there, after the
    // visit itself (the message must not interrupt a selection being made).
    connect(list_, &CExplorerListView::folderShown, operations_, &LibraryOperations::repairFolder,
            Qt::QueuedConnection);
    connect(list_, &CExplorerListView::folderActivated, tree_,
            [this](const QString& path) { tree_->selectFolder(path); });
    connect(splitter_, &QSplitter::splitterMoved, this, [this] { splitterMoved_ = true; });
    // A new folder or a renamed item is selected in the list.
    connect(operations_, &LibraryOperations::created, this, [this](const QString& path) {
        if (QFileInfo(path).absolutePath() == list_->folder())
            list_->selectWhenShown(path);
    });
    list_->showFolder(tree_->selectedFolder());
}

bool LibraryView::startAt(const QString& folder) {
    if (!tree_->selectFolder(folder))
        return false;
    list_->showFolder(tree_->selectedFolder());
    return true;
}

QString LibraryView::currentFolder() const {
    return list_->folder();
}

void LibraryView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The tree takes about a quarter of the width until the operator moves the divider.
    if (!splitterMoved_) {
        const int w = splitter_->width();
        splitter_->setSizes({w / 4, w - w / 4});
    }
}
