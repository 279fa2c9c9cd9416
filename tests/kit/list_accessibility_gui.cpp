// The lists as a screen reader reads them, through QAccessible: a check list's cells with their
// check boxes and actions, lists without rows or without a current cell, and a sorted tree whose
// model changes under a reader (where Qt 6.4's own interface crashed). What the AT-SPI bridge
// makes of it (events included: Qt sends none on the offscreen platform) is the a11y label's.
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Warnings of Qt's own table interface, which must never show: they are the steps to its crashes.
QStringList* tableWarnings = nullptr;
QtMessageHandler previousHandler = nullptr;

void catchTableWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (tableWarnings != nullptr && text.contains(QLatin1String("QAccessibleTable")))
        tableWarnings->append(text);
    if (previousHandler != nullptr)
        previousHandler(type, context, text);
}

class ListAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        tableWarnings = &warnings;
        previousHandler = qInstallMessageHandler(catchTableWarnings);
    }
    void TearDown() override {
        qInstallMessageHandler(previousHandler);
        tableWarnings = nullptr;
        EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    }

    // A check list of `rows` rows of three cells, "r<row>c<column>", shown and focused.
    void showList(int rows) {
        model = new CheckListModel({{"No.", 50}, {"FileName", 120}, {"Size", 85}});
        QVector<QStringList> cells;
        for (int r = 0; r < rows; ++r)
            cells.push_back(
                {QString("r%1c0").arg(r), QString("r%1c1").arg(r), QString("r%1c2").arg(r)});
        model->setRows(cells);
        view = std::make_unique<CheckListView>("Node Files");
        view->setCheckModel(model);
        model->setParent(view.get());
        view->resize(400, 300);
        view->show();
        QApplication::setActiveWindow(view.get());
        view->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QAccessibleInterface* list() { return QAccessible::queryAccessibleInterface(view.get()); }
    QAccessibleTableInterface* table() { return list()->tableInterface(); }

    QStringList warnings;
    CheckListModel* model = nullptr;
    std::unique_ptr<CheckListView> view;
};

TEST_F(ListAccessibilityTest, CheckListCellsTellAndTickTheirCheckBoxes) {
    showList(3);
    QAccessibleInterface* l = list();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->role(), QAccessible::Table);
    EXPECT_EQ(l->text(QAccessible::Name), "Node Files");
    ASSERT_NE(table(), nullptr);
    EXPECT_EQ(table()->rowCount(), 3);
    EXPECT_EQ(table()->columnCount(), 3);
    EXPECT_EQ(table()->columnDescription(1), "FileName");

    // The first cell of a row is its check box, named by the text it shows.
    QAccessibleInterface* box = table()->cellAt(1, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(QAccessible::Name), "r1c0");
    EXPECT_EQ(box->role(), QAccessible::CheckBox);
    EXPECT_TRUE(box->state().checkable);
    EXPECT_FALSE(box->state().checked);
    EXPECT_EQ(box->parent(), l);
    EXPECT_EQ(l->indexOfChild(box), 2 * 4 + 1); // Qt's numbering: a header row and column
    EXPECT_EQ(l->child(l->indexOfChild(box)), box);
    ASSERT_NE(box->tableCellInterface(), nullptr);
    EXPECT_EQ(box->tableCellInterface()->rowIndex(), 1);
    EXPECT_EQ(box->tableCellInterface()->columnIndex(), 0);
    ASSERT_EQ(box->tableCellInterface()->columnHeaderCells().size(), 1);
    EXPECT_EQ(box->tableCellInterface()->columnHeaderCells()[0]->text(QAccessible::Name), "No.");

    // Its action ticks and unticks it, and only it.
    QAccessibleActionInterface* actions = box->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_EQ(actions->actionNames(), QStringList({QAccessibleActionInterface::toggleAction(),
                                                   QAccessibleActionInterface::pressAction()}));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(model->checkedRows(), QVector<int>{1});
    EXPECT_TRUE(box->state().checked);
    EXPECT_TRUE(view->selectedRowNumbers().isEmpty()) << "ticking selects nothing";
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(model->checkedRows().isEmpty());
    EXPECT_FALSE(box->state().checked);

    // Other cells have no check box; Press is a click.
    QAccessibleInterface* size = table()->cellAt(2, 2);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->role(), QAccessible::Cell);
    EXPECT_FALSE(size->state().checkable);
    EXPECT_EQ(size->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});
    QSignalSpy clicks(view.get(), &QAbstractItemView::clicked);
    size->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].toModelIndex(), model->index(2, 2));
    EXPECT_EQ(view->selectedRowNumbers(), QVector<int>{2});
    EXPECT_EQ(l->focusChild(), size);
    EXPECT_TRUE(size->state().focused);
}

TEST_F(ListAccessibilityTest, ListsWithoutRowsOrCurrentCellGiveNoCell) {
    showList(0);
    ASSERT_NE(table(), nullptr);
    EXPECT_EQ(table()->rowCount(), 0);
    EXPECT_EQ(table()->cellAt(0, 0), nullptr);
    EXPECT_EQ(table()->cellAt(-1, -1), nullptr);
    EXPECT_EQ(list()->focusChild(), nullptr);
    EXPECT_EQ(list()->indexOfChild(nullptr), -1);
    EXPECT_TRUE(table()->selectedCells().isEmpty());
    // Only the header row: the column titles, no cell.
    EXPECT_EQ(list()->childCount(), 4);
    EXPECT_EQ(list()->child(2)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(list()->child(2)->text(QAccessible::Name), "FileName");
    EXPECT_EQ(list()->child(4), nullptr);

    // Rows arrive: the shown list makes its first row current at once, without selecting it.
    model->setRows({{"a", "b", "c"}, {"d", "e", "f"}});
    EXPECT_EQ(view->currentIndex(), model->index(0, 0));
    EXPECT_TRUE(view->selectedRowNumbers().isEmpty());
    ASSERT_NE(list()->focusChild(), nullptr);
    EXPECT_EQ(list()->focusChild()->text(QAccessible::Name), "a");

    // A cell read before the list is filled again answers nothing, and is gone once the program
    // is back in its loop; its place is read afresh.
    QAccessibleInterface* old = table()->cellAt(1, 1);
    ASSERT_NE(old, nullptr);
    const QAccessible::Id oldId = QAccessible::uniqueId(old);
    model->setRows({{"x", "y", "z"}});
    EXPECT_FALSE(old->isValid());
    EXPECT_EQ(old->text(QAccessible::Name), "");
    EXPECT_TRUE(old->state().invalid);
    EXPECT_EQ(old->actionInterface()->actionNames(), QStringList());
    EXPECT_EQ(table()->cellAt(1, 1), nullptr);
    EXPECT_EQ(table()->cellAt(0, 1)->text(QAccessible::Name), "y");
    QApplication::processEvents();
    EXPECT_EQ(QAccessible::accessibleInterface(oldId), nullptr);

    // A list whose current cell was taken away gives no focused cell, and no warning.
    view->selectionModel()->clearCurrentIndex();
    EXPECT_EQ(list()->focusChild(), nullptr);
    model->clear();
    EXPECT_EQ(table()->cellAt(0, 0), nullptr);
}

// A sorted tree like the file library's, whose model changes between the reader's calls before
// the view has laid itself out again: Qt 6.4's tree interface read its cells through the view's
// stale rows and crashed in the proxy model.
TEST_F(ListAccessibilityTest, SortedTreeReadWhileItsModelChanges) {
    QStandardItemModel source;
    for (int f = 0; f < 3; ++f) {
        auto* folder = new QStandardItem(QString("folder %1").arg(f));
        for (int k = 0; k < 4; ++k)
            folder->appendRow({new QStandardItem(QString("file %1.%2").arg(f).arg(k)),
                               new QStandardItem(QString::number(k * 100))});
        source.appendRow({folder, new QStandardItem(QString())});
    }
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&source);
    sorted.setDynamicSortFilter(true);
    QTreeView tree;
    tree.setAccessibleName("Folders");
    tree.setModel(&sorted);
    tree.setSortingEnabled(true);
    tree.sortByColumn(0, Qt::DescendingOrder);
    tree.expandAll();
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));

    QAccessibleInterface* t = QAccessible::queryAccessibleInterface(&tree);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->role(), QAccessible::Tree);
    ASSERT_NE(t->tableInterface(), nullptr);
    // The shown rows in the order shown: folder 2 and its files first.
    EXPECT_EQ(t->tableInterface()->rowCount(), 15);
    EXPECT_EQ(t->tableInterface()->cellAt(0, 0)->text(QAccessible::Name), "folder 2");
    EXPECT_EQ(t->tableInterface()->cellAt(1, 0)->text(QAccessible::Name), "file 2.3");
    EXPECT_EQ(t->tableInterface()->cellAt(1, 1)->text(QAccessible::Name), "300");
    QAccessibleInterface* third = t->tableInterface()->cellAt(14, 0);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->text(QAccessible::Name), "file 0.0");
    EXPECT_TRUE(third->state().focusable);
    EXPECT_FALSE(third->rect().isEmpty());

    // Rows go, come and move (a re-sort); every cell is read again with no event processed in
    // between, as a reader does while the model fills.
    source.removeRow(1);
    source.item(0)->appendRow(new QStandardItem("file 0.9"));
    source.appendRow(new QStandardItem("folder 9"));
    tree.collapse(sorted.index(1, 0));
    const auto readAll = [&] {
        QStringList names;
        for (int i = 0; i < t->childCount(); ++i) {
            QAccessibleInterface* c = t->child(i);
            if (c == nullptr)
                continue;
            names << c->text(QAccessible::Name);
            (void)c->rect();
            (void)c->state();
        }
        return names;
    };
    const QStringList names = readAll();
    EXPECT_TRUE(names.contains("folder 9"));
    EXPECT_FALSE(names.contains("folder 1"));
    EXPECT_FALSE(names.contains("file 2.0")) << "folder 2 is collapsed";
    EXPECT_EQ(t->tableInterface()->rowCount(), 1 + 1 + 1 + 5);
    EXPECT_EQ(t->tableInterface()->cellAt(0, 0)->text(QAccessible::Name), "folder 9");
    // The old cell follows its item to its new place, where it is the same cell.
    EXPECT_TRUE(third->isValid());
    EXPECT_EQ(third->text(QAccessible::Name), "file 0.0");
    EXPECT_EQ(third->tableCellInterface()->rowIndex(), 7);
    EXPECT_EQ(t->tableInterface()->cellAt(7, 0), third);
    EXPECT_EQ(t->indexOfChild(third), (7 + 1) * 2);
    // Expandable rows tell whether they are open.
    QAccessibleInterface* folder2 = t->tableInterface()->cellAt(1, 0);
    EXPECT_EQ(folder2->text(QAccessible::Name), "folder 2");
    EXPECT_TRUE(folder2->state().expandable);
    EXPECT_TRUE(folder2->state().collapsed);
    EXPECT_EQ(readAll(), names);
}

} // namespace
