// Cancel Task: the pending tasks of the checked nodes in the dialog, and every ticked one
// cancelled, beyond the fifty numbers one cancel request holds.
#include "StationFixture.h"

#include "gui/dialogs/CancelTaskDialog.h"
#include "gui/kit/DialogTable.h"
#include "station/Centre.h"

#include <QCheckBox>
#include <QHeaderView>

namespace {

constexpr int kQueryNode = 32820, kCancelTask = 32789;

int Pending(int node) {
    return CCommCenter::Instance()->nodes[0][node].pendingTaskCount.load();
}

} // namespace

TEST_F(StationTest, CancelTaskShowsThePendingTasksAndCancelsAllTicked) {
    testsupport::SimLine& line = startLine(0, 3);
    writeParameters({line.link(), 3, 0}, {"", 0, 32});
    ASSERT_TRUE(start());
    line.sim().SetDropRate(1.0); // nothing is answered: every task stays pending

    // Tasks 1 to 55 on node 0, task 56 on node 1; node 2 has none.
    tick(nodes(), {0});
    for (int i = 0; i < 55; ++i)
        run(kQueryNode);
    tick(nodes(), {1});
    run(kQueryNode);
    ASSERT_EQ(Pending(0), 55);
    ASSERT_EQ(Pending(1), 1);
    tick(nodes(), {0, 1, 2});
    prompts.clear();

    // The list holds node 0's notes newest first, then node 1's: the rows show it reversed.
    QStringList rows;
    prompts.onDialog([&](QDialog& d) {
        auto* dlg = qobject_cast<CancelTaskDialog*>(&d);
        EXPECT_NE(dlg, nullptr);
        if (dlg == nullptr)
            return int(QDialog::Rejected);
        EXPECT_EQ(d.windowTitle(), "Cancel Task");
        DialogTableModel* m = dlg->list()->tableModel();
        QStringList titles;
        for (int c = 0; c < m->columnCount(); ++c)
            titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_EQ(titles, QStringList({"Task", "Style", "Note"}));
        EXPECT_EQ(dlg->list()->columnWidth(CancelTaskDialog::kTaskColumn), 44);
        EXPECT_EQ(dlg->list()->columnWidth(CancelTaskDialog::kStyleColumn), 80);
        EXPECT_EQ(m->cell(0, CancelTaskDialog::kStyleColumn), "Query Node");
        for (int r = 0; r < m->rowCount(); ++r)
            rows << m->cell(r, CancelTaskDialog::kTaskColumn);
        QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
        return -1;
    });
    run(kCancelTask);
    QStringList expected{"56"};
    for (int t = 1; t <= 55; ++t)
        expected << QString::number(t);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(Pending(0), 55) << "CANCEL cancels nothing";

    // The top row ticked: task 56 goes from node 1; DELETE with no row ticked cancels nothing.
    prompts.onDialog([](QDialog& d) {
        auto* dlg = static_cast<CancelTaskDialog*>(&d);
        dlg->list()->tableModel()->setChecked(0, true);
        QTest::mouseClick(dlg->deleteButton(), Qt::LeftButton);
        return -1;
    });
    run(kCancelTask);
    WAIT_EQ(Pending(1), 0, 60000);
    EXPECT_EQ(Pending(0), 55);
    prompts.onDialog([](QDialog& d) {
        QTest::mouseClick(static_cast<CancelTaskDialog&>(d).deleteButton(), Qt::LeftButton);
        return -1;
    });
    run(kCancelTask);
    EXPECT_EQ(Pending(0), 55);

    // "Select All" ticks every row and clears them again; then all 55 are cancelled at once.
    prompts.onDialog([](QDialog& d) {
        auto* dlg = static_cast<CancelTaskDialog*>(&d);
        DialogTableModel* m = dlg->list()->tableModel();
        EXPECT_EQ(m->rowCount(), 55);
        QTest::mouseClick(dlg->selectAllBox(), Qt::LeftButton);
        for (int r = 0; r < m->rowCount(); ++r)
            EXPECT_TRUE(m->isChecked(r)) << r;
        QTest::mouseClick(dlg->selectAllBox(), Qt::LeftButton);
        for (int r = 0; r < m->rowCount(); ++r)
            EXPECT_FALSE(m->isChecked(r)) << r;
        QTest::mouseClick(dlg->selectAllBox(), Qt::LeftButton);
        QTest::mouseClick(dlg->deleteButton(), Qt::LeftButton);
        return -1;
    });
    run(kCancelTask);
    WAIT_EQ(Pending(0), 0, 60000);
    WAIT_UNTIL(!CentreBusy(), 60000);
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
    EXPECT_TRUE(prompts.messages().isEmpty());

    // Nothing pending: no dialog.
    prompts.clear();
    run(kCancelTask);
    EXPECT_TRUE(prompts.shown().empty());
}
