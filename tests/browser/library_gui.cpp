// The file library on the offscreen platform: what the tree and the list show, how they follow
// changes made outside the program, drops, deletes, the clipboard and the context menu.
#include "GuiFixture.h"
#include "TestSupport.h"

#include "gui/browser/ExplorerListView.h"
#include "gui/browser/ExplorerTreeView.h"
#include "gui/browser/LibraryModels.h"
#include "gui/browser/LibraryOperations.h"
#include "gui/browser/LibraryView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>

// Readable failures.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

namespace fs = std::filesystem;

// Polls, letting Qt run, until `done` holds or the deadline passes.
bool waitUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return done();
        QTest::qWait(20);
    }
    return true;
}

void put(const std::string& path, size_t size = 700) {
    ASSERT_TRUE(testsupport::WriteFile(path, testsupport::DesignBytes(size, 7)));
}

QModelIndex listItem(CExplorerListView* list, const QString& name) {
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row) {
        const QModelIndex i = list->model()->index(row, 0, root);
        if (i.data(QFileSystemModel::FileNameRole).toString() == name)
            return i;
    }
    return {};
}

QStringList treeChildren(CExplorerTreeView* tree, const QModelIndex& parent) {
    QStringList out;
    for (int row = 0; row < tree->model()->rowCount(parent); ++row)
        out << tree->model()->index(row, 0, parent).data().toString();
    return out;
}

// Sends a drag to `pos` in the view, and the drop when `drop`; the action the view would take,
// or IgnoreAction when it refuses.
Qt::DropAction dragTo(ExplorerView* view, const QPoint& pos, const QStringList& paths,
                      Qt::KeyboardModifiers keys, bool drop) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(pos, offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDragMoveEvent move(pos, offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(view->viewport(), &move);
    if (!move.isAccepted())
        return Qt::IgnoreAction;
    if (!drop) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(view->viewport(), &leave);
        return move.dropAction();
    }
    QDropEvent dropped(QPointF(pos), offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(view->viewport(), &dropped);
    return dropped.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
}

class LibraryTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        lib = QString::fromStdString(workDir + "/lib");
        fs::create_directories(workDir + "/lib");
        if (const char* d = std::getenv("XDG_DATA_HOME"))
            oldData_ = d, hadData_ = true;
        setDataHome(workDir + "/data");
    }
    void TearDown() override {
        view.reset();
        if (hadData_)
            ::setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        QApplication::clipboard()->clear();
        GuiFixture::TearDown();
    }
    void setDataHome(const std::string& path) { ::setenv("XDG_DATA_HOME", path.c_str(), 1); }

    // A shown library view at `folder`, its list filled.
    void open(const QString& folder) {
        view = std::make_unique<LibraryView>();
        view->resize(960, 420);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        ASSERT_TRUE(view->startAt(folder));
        ASSERT_EQ(view->currentFolder(), folder);
    }
    bool listShows(const QStringList& names) {
        return waitUntil([&] { return view->list()->shownNames() == names; });
    }
    bool idle() {
        return waitUntil([&] { return !view->operations()->busy(); });
    }
    // Selects the named items of the list and gives it the keyboard.
    void selectInList(const QStringList& names) {
        CExplorerListView* list = view->list();
        list->clearSelection();
        for (const QString& n : names) {
            const QModelIndex i = listItem(list, n);
            ASSERT_TRUE(i.isValid()) << n.toStdString();
            list->selectionModel()->select(i,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            list->selectionModel()->setCurrentIndex(i, QItemSelectionModel::NoUpdate);
        }
        view->activateWindow();
        list->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    std::string at(const QString& name) const { return (lib + "/" + name).toStdString(); }

    QString lib;
    std::unique_ptr<LibraryView> view;

private:
    std::string oldData_;
    bool hadData_ = false;
};

TEST_F(LibraryTest, SelectedFolderIsListedFoldersFirstAndFollowsChangesOutside) {
    fs::create_directories(at("b_dir/deeper"));
    fs::create_directories(at("A_dir"));
    put(at("A_dir/inner.bin"));
    for (const char* f : {"a.bin", "B.bin", "10.bin", "9.bin"})
        put(at(f));
    open(lib);

    // Folders, then files; each by name byte by byte.
    EXPECT_TRUE(listShows({"A_dir", "b_dir", "10.bin", "9.bin", "B.bin", "a.bin"}))
        << view->list()->shownNames().join(',').toStdString();
    // The tree lists the sub-folders, and shows an expand button only where there are some.
    CExplorerTreeView* tree = view->tree();
    const QPersistentModelIndex libItem = tree->currentIndex();
    EXPECT_TRUE(tree->isExpanded(libItem.parent()));
    tree->expand(libItem);
    EXPECT_TRUE(waitUntil([&] {
        return treeChildren(tree, libItem) == QStringList{"A_dir", "b_dir"};
    }));
    EXPECT_TRUE(waitUntil([&] {
        return !tree->model()->hasChildren(tree->model()->index(0, 0, libItem)) &&
               tree->model()->hasChildren(tree->model()->index(1, 0, libItem));
    }));

    // A double-click on a folder of the list selects it in the tree, and lists it.
    const QModelIndex aDir = listItem(view->list(), "A_dir");
    const QPoint p = view->list()->visualRect(aDir).center();
    QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(view->list()->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(tree->selectedFolder(), lib + "/A_dir");
    EXPECT_TRUE(listShows({"inner.bin"}));

    // Made and removed outside the program: both views follow.
    ASSERT_TRUE(view->startAt(lib));
    fs::create_directories(at("new_dir"));
    fs::remove_all(at("b_dir"));
    EXPECT_TRUE(listShows({"A_dir", "new_dir", "10.bin", "9.bin", "B.bin", "a.bin"}))
        << view->list()->shownNames().join(',').toStdString();
    EXPECT_TRUE(waitUntil([&] {
        return treeChildren(tree, tree->currentIndex()) == QStringList{"A_dir", "new_dir"};
    }));

    // The selected folder removed: the folder that held it is selected and listed.
    ASSERT_TRUE(tree->selectFolder(lib + "/new_dir"));
    EXPECT_TRUE(listShows({}));
    fs::remove_all(at("new_dir"));
    EXPECT_TRUE(waitUntil([&] { return tree->selectedFolder() == lib; }));
    EXPECT_TRUE(listShows({"A_dir", "10.bin", "9.bin", "B.bin", "a.bin"}));

    // F5 reads both views afresh, and each keeps its place.
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_F5);
    EXPECT_EQ(tree->selectedFolder(), lib);
    view->list()->setFocus();
    QTest::keyClick(view->list(), Qt::Key_F5);
    EXPECT_EQ(view->currentFolder(), lib);
    EXPECT_TRUE(listShows({"A_dir", "10.bin", "9.bin", "B.bin", "a.bin"}));

    // The roots: the home folder and "/", neither of which is ever deleted or moved.
    EXPECT_EQ(tree->rootPaths().mid(0, 2), (QStringList{QDir::homePath(), "/"}));
    EXPECT_FALSE(tree->isRemovable("/"));
    EXPECT_FALSE(tree->isRemovable(QDir::homePath()));
    EXPECT_TRUE(tree->isRemovable(lib));

    const QString shot = QStringLiteral(TALVORN_BINARY_DIR "/library-view.png");
    EXPECT_TRUE(view->grab().save(shot));
}

TEST_F(LibraryTest, DropCopiesAndShiftDropMoves) {
    fs::create_directories(at("target"));
    const std::string in = workDir + "/incoming";
    fs::create_directories(in);
    for (const char* f : {"x.bin", "y.bin", "z.bin"})
        put(in + "/" + f);
    const QString incoming = QString::fromStdString(in);
    open(lib);
    ASSERT_TRUE(listShows({"target"}));
    CExplorerListView* list = view->list();
    const QPoint onTarget = list->visualRect(listItem(list, "target")).center();
    const QPoint below = onTarget + QPoint(0, 200); // empty space: the shown folder

    // While over a folder, that folder is the highlighted target.
    QMimeData hovering;
    hovering.setUrls({QUrl::fromLocalFile(incoming + "/x.bin")});
    QDragEnterEvent enterTarget(onTarget, Qt::CopyAction, &hovering, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enterTarget);
    QDragMoveEvent overTarget(onTarget, Qt::CopyAction, &hovering, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &overTarget);
    EXPECT_TRUE(overTarget.isAccepted());
    EXPECT_EQ(list->dropTargetPath(), lib + "/target");
    QDragLeaveEvent leave;
    QApplication::sendEvent(list->viewport(), &leave);
    EXPECT_EQ(list->dropTargetPath(), QString());

    EXPECT_EQ(dragTo(list, onTarget, {incoming + "/x.bin"}, {}, true), Qt::CopyAction);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("target/x.bin")));
    EXPECT_TRUE(fs::exists(in + "/x.bin"));

    EXPECT_EQ(dragTo(list, onTarget, {incoming + "/y.bin"}, Qt::ShiftModifier, true),
              Qt::MoveAction);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("target/y.bin")));
    EXPECT_FALSE(fs::exists(in + "/y.bin"));

    EXPECT_EQ(dragTo(list, below, {incoming + "/z.bin"}, {}, true), Qt::CopyAction);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("z.bin")));

    // Refused: a folder onto itself, items onto the folder they are in, anything but local files.
    EXPECT_EQ(dragTo(list, onTarget, {lib + "/target"}, {}, true), Qt::IgnoreAction);
    EXPECT_EQ(dragTo(list, below, {lib + "/z.bin"}, {}, true), Qt::IgnoreAction);
    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent enter(below, Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());

    // Onto a folder of the tree.
    CExplorerTreeView* tree = view->tree();
    tree->expand(tree->currentIndex());
    QModelIndex targetItem;
    ASSERT_TRUE(waitUntil([&] {
        targetItem = tree->model()->index(0, 0, tree->currentIndex());
        return targetItem.data().toString() == "target";
    }));
    const QPoint onTreeTarget = tree->visualRect(targetItem).center();
    EXPECT_EQ(dragTo(tree, onTreeTarget, {lib + "/z.bin"}, Qt::ShiftModifier, true),
              Qt::MoveAction);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("target/z.bin")));
    EXPECT_FALSE(fs::exists(at("z.bin")));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(LibraryTest, DeleteAsksForTheTrashAndShiftDeleteForGood) {
    for (const char* f : {"p.bin", "q.bin", "t.bin"})
        put(at(f));
    fs::create_directories(at("sub"));
    open(lib);
    ASSERT_TRUE(listShows({"sub", "p.bin", "q.bin", "t.bin"}));

    selectInList({"t.bin"});
    prompts.answer(true);
    QTest::keyClick(view->list(), Qt::Key_Delete);
    ASSERT_EQ(prompts.shownOf("question").size(), 1u);
    EXPECT_TRUE(prompts.shownOf("question")[0].text.contains("to the trash"));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(fs::exists(at("t.bin")));
    EXPECT_TRUE(fs::exists(workDir + "/data/Trash/files/t.bin"));

    // Shift+Delete says "permanently"; No keeps the file.
    prompts.clear();
    ASSERT_TRUE(listShows({"sub", "p.bin", "q.bin"}));
    selectInList({"p.bin"});
    prompts.answer(false);
    QTest::keyClick(view->list(), Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_EQ(prompts.shownOf("question").size(), 1u);
    EXPECT_TRUE(prompts.shownOf("question")[0].text.contains("permanently"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("p.bin")));
    prompts.answer(true);
    QTest::keyClick(view->list(), Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_TRUE(idle());
    EXPECT_FALSE(fs::exists(at("p.bin")));
    EXPECT_FALSE(fs::exists(workDir + "/data/Trash/files/p.bin"));

    // No trash to be had: asked again before deleting for good.
    put(workDir + "/plain");
    setDataHome(workDir + "/plain/data");
    prompts.clear();
    ASSERT_TRUE(listShows({"sub", "q.bin"}));
    selectInList({"q.bin"});
    prompts.answer(true);  // to the trash?
    prompts.answer(false); // cannot: permanently?
    QTest::keyClick(view->list(), Qt::Key_Delete);
    ASSERT_TRUE(idle());
    ASSERT_EQ(prompts.shownOf("question").size(), 2u);
    EXPECT_TRUE(prompts.shownOf("question")[1].text.contains("cannot be moved to the trash"));
    EXPECT_TRUE(fs::exists(at("q.bin")));
    prompts.answer(true);
    prompts.answer(true);
    QTest::keyClick(view->list(), Qt::Key_Delete);
    ASSERT_TRUE(idle());
    EXPECT_FALSE(fs::exists(at("q.bin")));

    // In the tree, Delete acts on the selected folder; the folder above is selected after it.
    setDataHome(workDir + "/data");
    CExplorerTreeView* tree = view->tree();
    ASSERT_TRUE(tree->selectFolder(lib + "/sub"));
    tree->setFocus();
    prompts.clear();
    prompts.answer(true);
    QTest::keyClick(tree, Qt::Key_Delete);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(workDir + "/data/Trash/files/sub"));
    EXPECT_TRUE(waitUntil([&] { return tree->selectedFolder() == lib; }));
    // A root is never offered for deletion: no question at all.
    ASSERT_TRUE(tree->selectFolder("/"));
    prompts.clear();
    QTest::keyClick(tree, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
}

TEST_F(LibraryTest, ClipboardCarriesThePathsAndPasteCopiesOrMoves) {
    fs::create_directories(at("other"));
    put(at("m.bin"));
    put(at("n.bin"));
    open(lib);
    ASSERT_TRUE(listShows({"other", "m.bin", "n.bin"}));
    selectInList({"m.bin", "n.bin"});
    QTest::keyClick(view->list(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QList<QUrl> urls = {QUrl::fromLocalFile(lib + "/m.bin"),
                              QUrl::fromLocalFile(lib + "/n.bin")};
    EXPECT_EQ(data->urls(), urls);
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              "copy\n" + urls[0].toEncoded() + "\n" + urls[1].toEncoded());
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "0");

    ASSERT_TRUE(view->startAt(lib + "/other"));
    view->list()->setFocus();
    QTest::keyClick(view->list(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("other/m.bin")) && fs::exists(at("other/n.bin")));
    EXPECT_TRUE(fs::exists(at("m.bin")));

    // Pasted again: each clash is a question (keep both, then skip).
    prompts.pick(2);
    prompts.pick(1);
    QTest::keyClick(view->list(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(idle());
    ASSERT_EQ(prompts.shownOf("choose").size(), 2u);
    EXPECT_TRUE(prompts.shownOf("choose")[0].text.contains("“m.bin” already exists"));
    EXPECT_TRUE(fs::exists(at("other/m (2).bin")));
    EXPECT_FALSE(fs::exists(at("other/n (2).bin")));

    // Cut and paste moves; the spent clipboard is cleared.
    ASSERT_TRUE(view->startAt(lib));
    ASSERT_TRUE(listShows({"other", "m.bin", "n.bin"}));
    selectInList({"m.bin"});
    QTest::keyClick(view->list(), Qt::Key_X, Qt::ControlModifier);
    data = QApplication::clipboard()->mimeData();
    EXPECT_TRUE(data->data("x-special/gnome-copied-files").startsWith("cut\n"));
    EXPECT_EQ(data->data("application/x-kde-cutselection"), "1");
    fs::create_directories(at("moved"));
    ASSERT_TRUE(view->startAt(lib + "/moved"));
    view->list()->setFocus();
    QTest::keyClick(view->list(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fs::exists(at("moved/m.bin")));
    EXPECT_FALSE(fs::exists(at("m.bin")));
    QStringList left;
    EXPECT_FALSE(LibraryOperations::offeredPaths(QApplication::clipboard()->mimeData(), left));
}

TEST_F(LibraryTest, ContextMenuMakesAndRenamesFolders) {
    put(at("taken.bin"));
    open(lib);
    ASSERT_TRUE(listShows({"taken.bin"}));
    CExplorerListView* list = view->list();
    const QPoint empty(20, list->viewport()->height() - 10);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, empty,
                                list->viewport()->mapToGlobal(empty));
    QApplication::sendEvent(list->viewport(), &menuEvent);
    QMenu* menu = list->contextMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    QStringList texts;
    QAction* newFolder = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        texts << a->text();
        if (a->text() == "New Folder")
            newFolder = a;
    }
    EXPECT_EQ(texts, (QStringList{"Copy", "Cut", "Paste", "Move to Trash", "Delete Permanently",
                                  "Rename", "New Folder", "Refresh"}));
    menu->hide();
    ASSERT_NE(newFolder, nullptr);
    prompts.typeText("Parts");
    newFolder->trigger();
    EXPECT_TRUE(fs::is_directory(at("Parts")));
    EXPECT_TRUE(waitUntil([&] { return list->selectedPaths() == QStringList{lib + "/Parts"}; }));

    // Rename, through F2: onto a taken name it is refused and says so.
    list->setFocus();
    prompts.typeText("taken.bin");
    QTest::keyClick(list, Qt::Key_F2);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("already exists"));
    EXPECT_TRUE(fs::is_directory(at("Parts")));
    prompts.typeText("Parts 2");
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_TRUE(fs::is_directory(at("Parts 2")));
    EXPECT_FALSE(fs::exists(at("Parts")));
}

TEST(LibraryRules, VolumesAndDropSources) {
    EXPECT_TRUE(isLibraryVolume("/media/op/STICK", "/dev/sdb1", "vfat"));
    EXPECT_TRUE(isLibraryVolume("/run/media/op/STICK", "/dev/sdb1", "exfat"));
    EXPECT_TRUE(isLibraryVolume("/mnt/share", "//server/share", "cifs"));
    EXPECT_FALSE(isLibraryVolume("/", "/dev/sda1", "ext4"));
    EXPECT_FALSE(isLibraryVolume("/boot/efi", "/dev/sda1", "vfat"));
    EXPECT_FALSE(isLibraryVolume("/run/user/1000", "tmpfs", "tmpfs"));
    EXPECT_FALSE(isLibraryVolume("/snap/core/1", "/dev/loop0", "squashfs"));

    EXPECT_EQ(LibraryOperations::dropSources({"/a/x.bin", "/b/y.bin"}, "/a"),
              QStringList{"/b/y.bin"});
    EXPECT_TRUE(LibraryOperations::dropSources({"/a/F", "/b/y.bin"}, "/a/F/sub").isEmpty());
    EXPECT_EQ(ExplorerView::dropAction(Qt::ShiftModifier, Qt::CopyAction | Qt::MoveAction),
              Qt::MoveAction);
    EXPECT_EQ(ExplorerView::dropAction(Qt::ShiftModifier, Qt::CopyAction), Qt::CopyAction);
}

TEST_F(LibraryTest, AVisitPutsBackWhatACrashLeftAndSaysSo) {
    // What a station killed in the middle left in the folder: the operator's folder "Designs"
    // moved aside by a replace whose new folder never arrived, and part of a copy.
    fs::create_directories(at("sub"));
    fs::create_directories(at(".talvorn-old-Ab12Cd/Designs"));
    put(at(".talvorn-old-Ab12Cd/Designs/kept.bin"), 900);
    fs::create_directories(at(".talvorn-copy-Zz98Yx"));
    put(at(".talvorn-copy-Zz98Yx/big.bin"), 300);
    put(at("a.bin"));
    open(lib + "/sub");
    prompts.clear();
    ASSERT_TRUE(view->startAt(lib));
    EXPECT_TRUE(waitUntil([&] { return !prompts.messages().isEmpty(); }));
    EXPECT_TRUE(listShows({"Designs", "sub", "a.bin"}))
        << view->list()->shownNames().join(',').toStdString();
    EXPECT_TRUE(fs::exists(at("Designs/kept.bin")));
    EXPECT_FALSE(fs::exists(at(".talvorn-old-Ab12Cd")));
    EXPECT_FALSE(fs::exists(at(".talvorn-copy-Zz98Yx")));
    ASSERT_EQ(prompts.messages().size(), 1);
    const QString told = prompts.messages()[0];
    EXPECT_TRUE(told.contains("was cut short")) << told.toStdString();
    EXPECT_TRUE(told.contains("Put back under their names:\nDesigns")) << told.toStdString();
    EXPECT_TRUE(told.contains("Removed, as left unfinished:\nbig.bin")) << told.toStdString();

    // The next visit finds nothing, and says nothing.
    ASSERT_TRUE(view->startAt(lib + "/sub"));
    ASSERT_TRUE(view->startAt(lib));
    QTest::qWait(100);
    EXPECT_EQ(prompts.messages().size(), 1);
}

} // namespace
