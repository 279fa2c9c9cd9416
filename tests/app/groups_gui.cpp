// File groups at work in the main window: dropped from a file manager, chosen with the file
// dialog, added to, and deleted by row and by group, with their numbers closing up.
#include "StationFixture.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

constexpr int kSelectFile = 32781, kAdd = 32807, kGroupFileDelete = 32790, kFileGroupDelete = 32799;

} // namespace

class GroupsTest : public StationTest {
protected:
    // Drops local files on the group-file list as a file manager does: URLs in the drag's data.
    void drop(const std::vector<std::string>& paths) {
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(p));
        QMimeData mime;
        mime.setUrls(urls);
        QWidget* target = win().groupFileList()->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
    }
    QStringList groupNames() { return column(groupFiles(), 2); }
};

TEST_F(GroupsTest, DropsDialogsAddsAndDeletes) {
    writeParameters({"", 0, 0}, {"", 0, 32});
    ASSERT_TRUE(start());
    prompts.clear();
    const std::string a = makeFile("in/A.DST", 1000, 1);
    const std::string b = makeFile("in/B.DSB", 2000, 2);
    std::filesystem::create_directories(file("in/folder"));

    // A folder among two files: a group of the two, without a word about the folder.
    drop({file("in/folder"), a, b});
    EXPECT_EQ(groupNames(), QStringList({"A.DST", "B.DSB"}));
    EXPECT_EQ(column(groupFiles(), 0), QStringList({"1", "2"}));
    EXPECT_EQ(column(groupFiles(), 1), QStringList({"1", "1"}));
    EXPECT_EQ(column(groupFiles(), 3), QStringList({"1000", "2000"}));
    EXPECT_EQ(column(groupFiles(), 4), QStringList(2, QString::fromStdString(file("in/"))));
    EXPECT_EQ(column(fileGroups(), 2), QStringList{"3000"});
    // Only a folder: no group.
    drop({file("in/folder")});
    EXPECT_EQ(groupFiles().rowCount(), 0);
    EXPECT_EQ(fileGroups().rowCount(), 1);
    EXPECT_TRUE(prompts.shown().empty());

    // Select File: the three types in both cases and every file; a file that cannot be read is
    // reported and left out.
    const std::string c = makeFile("in/C.UPT", 3000, 3);
    const std::string noDot = makeFile("in/NODOT", 4000, 4);
    prompts.chooseFiles({QString::fromStdString(c), QString::fromStdString(noDot),
                         QString::fromStdString(file("in/GONE.DST"))});
    run(kSelectFile);
    ASSERT_EQ(prompts.shownOf("openFiles").size(), 1u);
    EXPECT_EQ(prompts.shownOf("openFiles")[0].caption, "Select File");
    EXPECT_EQ(prompts.lastFilter,
              "*.DST;*.DSB;*.UPT (*.DST *.DSB *.UPT *.dst *.dsb *.upt);;All File (*)");
    EXPECT_EQ(groupNames(), QStringList({"C.UPT", "NODOT"}));
    EXPECT_EQ(column(groupFiles(), 1), QStringList({"2", "2"}));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QString::fromStdString(file("in/GONE.DST"))));

    // Add a file whose name the shown group holds: No leaves the group as it was, Yes replaces it.
    const std::string otherC = makeFile("other/C.UPT", 3333, 5);
    prompts.clear();
    prompts.chooseFiles({QString::fromStdString(otherC)});
    prompts.answer(false);
    run(kAdd);
    ASSERT_EQ(prompts.shownOf("question").size(), 1u);
    EXPECT_EQ(prompts.shownOf("question")[0].text,
              "C.UPTFile Has Already Existed.\r\nCover It and Send It?");
    EXPECT_EQ(column(groupFiles(), 3), QStringList({"3000", "4000"}));
    prompts.chooseFiles({QString::fromStdString(otherC)});
    prompts.answer(true);
    run(kAdd);
    EXPECT_EQ(column(groupFiles(), 3), QStringList({"3333", "4000"}));
    EXPECT_EQ(column(groupFiles(), 4)[0], QString::fromStdString(file("other/")));
    EXPECT_EQ(column(fileGroups(), 2), QStringList({"3000", "7333"}));
    EXPECT_EQ(prompts.shownOf("openFiles").back().caption, "Add File");

    // Two files of one name from two folders in one group: Delete removes the ticked row.
    const std::string x1 = makeFile("x/SAME.DST", 11, 6);
    const std::string x2 = makeFile("y/SAME.DST", 22, 7);
    drop({x1, x2});
    ASSERT_EQ(groupNames(), QStringList({"SAME.DST", "SAME.DST"}));
    tick(groupFiles(), {1});
    prompts.clear();
    prompts.answer(true);
    run(kGroupFileDelete);
    EXPECT_EQ(prompts.shownOf("question")[0].text, "Is the Selected File Delete?");
    EXPECT_EQ(prompts.shownOf("question")[0].icon, Prompter::Icon::Danger); // No by default
    EXPECT_EQ(column(groupFiles(), 4), QStringList{QString::fromStdString(file("x/"))});
    EXPECT_EQ(column(fileGroups(), 1), QStringList({"2", "2", "1"}));

    // Deleting the last file of a group removes it; the last group is shown.
    tick(groupFiles(), {0});
    prompts.answer(true);
    run(kGroupFileDelete);
    EXPECT_EQ(column(fileGroups(), 0), QStringList({"1", "2"}));
    EXPECT_EQ(groupNames(), QStringList({"C.UPT", "NODOT"}));

    // Groups 1 and 3 of 4 deleted: the old 2 and 4 are now 1 and 2.
    drop({x1});
    drop({x2});
    ASSERT_EQ(column(fileGroups(), 2), QStringList({"3000", "7333", "11", "22"}));
    tick(fileGroups(), {0, 2});
    prompts.clear();
    prompts.answer(true);
    run(kFileGroupDelete);
    EXPECT_EQ(prompts.shownOf("question")[0].text, "Is the Selected File Group Delete?");
    EXPECT_EQ(prompts.shownOf("question")[0].icon, Prompter::Icon::Danger);
    EXPECT_EQ(column(fileGroups(), 0), QStringList({"1", "2"}));
    EXPECT_EQ(column(fileGroups(), 2), QStringList({"7333", "22"}));
    EXPECT_EQ(column(groupFiles(), 1), QStringList{"2"});
    EXPECT_EQ(column(groupFiles(), 4), QStringList{QString::fromStdString(file("y/"))});

    // Add with no group shown makes a new one; clicking a group shows its files.
    tick(fileGroups(), {0, 1});
    prompts.answer(true);
    run(kFileGroupDelete);
    ASSERT_EQ(fileGroups().rowCount(), 0);
    ASSERT_EQ(groupFiles().rowCount(), 0);
    prompts.chooseFiles({QString::fromStdString(a)});
    run(kAdd);
    EXPECT_EQ(column(fileGroups(), 0), QStringList{"1"});
    EXPECT_EQ(groupNames(), QStringList{"A.DST"});
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
}

TEST_F(GroupsTest, AShiftDropIsTakenAsACopy) {
    // Shift held over the list: the drag proposes a move, which a file manager that honours it
    // carries out by deleting the originals. The list takes a copy, at every step of the drag.
    writeParameters({"", 0, 0}, {"", 0, 32});
    ASSERT_TRUE(start());
    const std::string a = makeFile("in/A.DST", 1000, 1);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(a))});
    QWidget* target = win().groupFileList()->viewport();
    const QPoint at = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &move);
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent dropped(QPointF(at), offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
    EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
    EXPECT_EQ(groupNames(), QStringList{"A.DST"});
    EXPECT_TRUE(std::filesystem::exists(a));

    // A drag that offers nothing but a move is refused.
    QDragEnterEvent moveOnly(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
}
