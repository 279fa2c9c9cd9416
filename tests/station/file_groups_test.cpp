// File groups: how they are made, changed, numbered and deleted, what a send collects from them,
// and where Add File finds a node's files in the library.
#include "TestSupport.h"
#include "link/Frame.h"
#include "station/FileGroups.h"
#include "station/NodeLabels.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

namespace fs = std::filesystem;

std::string Make(const TempDir& dir, const std::string& name, size_t size) {
    const std::string path = dir / name;
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(WriteFile(path, std::vector<uint8_t>(size, 0x5A)));
    return path;
}

// name:size of each file of group g, in order.
std::string Files(TaskList<FileGroup>& groups, int g) {
    std::string out;
    FileGroup* group = groups.ItemAt(static_cast<size_t>(g));
    if (!group)
        return "<none>";
    for (size_t k = 0; k < group->files.Count(); ++k)
        group->files.WithItem(k, [&](GroupFile& f) {
            out += (out.empty() ? "" : " ") + f.name + ":" + std::to_string(f.size);
        });
    return out;
}

void ExpectTotals(TaskList<FileGroup>& groups, int g, int32_t count, uint64_t bytes) {
    FileGroup* group = groups.ItemAt(static_cast<size_t>(g));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->fileCount, count);
    EXPECT_EQ(group->totalBytes, bytes);
    EXPECT_EQ(group->files.Count(), static_cast<size_t>(count));
}

TEST(FileGroups, MadeChangedNumberedAndDeleted) {
    TempDir dir;
    TaskList<FileGroup> groups;
    const std::string a = Make(dir, "a.dst", 10), b = Make(dir, "b.dst", 20);
    const std::string c = Make(dir, "c.dsb", 30), subA = Make(dir, "sub/a.dst", 99);
    const std::string none = dir / "none.dst";

    // Select File: unreadable files are reported and left out; no readable file, no group.
    GroupOutcome o = NewGroupFromFiles({a, none, b}, groups);
    EXPECT_TRUE(o.refresh && o.withGroupList);
    EXPECT_EQ(o.show, 0);
    ASSERT_EQ(o.problems.size(), 1u);
    EXPECT_EQ(o.problems[0].kind, FileProblemKind::Missing);
    EXPECT_EQ(Files(groups, 0), "a.dst:10 b.dst:20");
    ExpectTotals(groups, 0, 2, 30);
    groups.WithItem(0, [&](FileGroup& g) {
        g.files.WithItem(0, [&](GroupFile& f) { EXPECT_EQ(f.folder, dir.path() + "/"); });
    });
    o = NewGroupFromFiles({none}, groups);
    EXPECT_FALSE(o.refresh);
    EXPECT_EQ(o.problems.size(), 1u);
    EXPECT_EQ(groups.Count(), 1u);

    // Dropping: folders are left out without a word; only folders make no group and empty the
    // group-file list alone.
    o = DropFiles({dir / "sub", c, a, subA}, groups);
    EXPECT_EQ(o.show, 1);
    EXPECT_TRUE(o.problems.empty());
    EXPECT_EQ(Files(groups, 1), "c.dsb:30 a.dst:10 a.dst:99");
    o = DropFiles({dir / "sub"}, groups);
    EXPECT_TRUE(o.refresh);
    EXPECT_EQ(o.show, -1);
    EXPECT_FALSE(o.withGroupList);
    EXPECT_EQ(groups.Count(), 2u);
    EXPECT_FALSE(DropFiles({}, groups).refresh);

    // Add into the shown group: a name it holds is asked about; yes replaces the first file of
    // that name, no skips the file.
    std::vector<std::string> asked;
    auto answer = [&](bool yes) {
        return [&asked, yes](const std::string& name) {
            asked.push_back(name);
            return yes;
        };
    };
    o = AddFilesToGroup(0, {subA, c}, answer(false), groups);
    EXPECT_EQ(o.show, 0);
    EXPECT_EQ(asked, std::vector<std::string>{"a.dst"});
    EXPECT_EQ(Files(groups, 0), "a.dst:10 b.dst:20 c.dsb:30");
    ExpectTotals(groups, 0, 3, 60);
    o = AddFilesToGroup(0, {subA}, answer(true), groups);
    EXPECT_EQ(Files(groups, 0), "a.dst:99 b.dst:20 c.dsb:30");
    ExpectTotals(groups, 0, 3, 149);
    // No group shown: a new one, kept only when it gets a file.
    o = AddFilesToGroup(-1, {none}, answer(true), groups);
    EXPECT_FALSE(o.refresh);
    EXPECT_EQ(groups.Count(), 2u);
    o = AddFilesToGroup(-1, {b}, answer(true), groups);
    EXPECT_EQ(o.show, 2);
    EXPECT_EQ(groups.Count(), 3u);

    // Delete on the group files goes by row: of two files named a.dst the checked one goes.
    o = DeleteGroupFiles(1, {2}, groups);
    EXPECT_EQ(o.show, 1);
    EXPECT_EQ(Files(groups, 1), "c.dsb:30 a.dst:10");
    ExpectTotals(groups, 1, 2, 40);
    EXPECT_FALSE(DeleteGroupFiles(1, {}, groups).refresh);
    EXPECT_FALSE(DeleteGroupFiles(7, {0}, groups).refresh);
    // The last file of a group takes the group with it; the last group is shown.
    o = DeleteGroupFiles(1, {1, 0, 5}, groups);
    EXPECT_EQ(groups.Count(), 2u);
    EXPECT_EQ(o.show, 1);
    EXPECT_EQ(Files(groups, 1), "b.dst:20");

    // What the two lists show.
    const auto fileRows = GroupFileRows(1, groups);
    ASSERT_EQ(fileRows.size(), 1u);
    EXPECT_EQ(fileRows[0].no, "1");
    EXPECT_EQ(fileRows[0].type, "2");
    EXPECT_EQ(fileRows[0].path, dir.path() + "/");
    EXPECT_TRUE(GroupFileRows(5, groups).empty());
    const auto groupRows = GroupRows(groups);
    ASSERT_EQ(groupRows.size(), 2u);
    EXPECT_EQ(groupRows[0].type + " " + groupRows[0].fileCount + " " + groupRows[0].totalBytes,
              "1 3 149");

    // Deleting groups 1 and 3 of 4 leaves the old 2 and 4 as groups 1 and 2.
    NewGroupFromFiles({c}, groups);
    NewGroupFromFiles({a}, groups);
    o = DeleteGroups({2, 0}, groups);
    EXPECT_EQ(o.show, 1);
    EXPECT_EQ(Files(groups, 0), "b.dst:20");
    EXPECT_EQ(Files(groups, 1), "a.dst:10");
    o = DeleteGroups({0, 1}, groups);
    EXPECT_TRUE(o.refresh && o.withGroupList);
    EXPECT_EQ(o.show, -1);
    EXPECT_EQ(groups.Count(), 0u);
}

TEST(FileGroups, SendSkipsOnlyTheSameNodeNameAndReportsWhatItLeavesOut) {
    TempDir dir;
    TaskList<FileGroup> groups;
    const std::string xa = Make(dir, "XA.DST", 100), a = Make(dir, "A.DST", 200);
    const std::string lowerA = Make(dir, "other/a.dst", 300);
    const std::string empty = Make(dir, "E.DST", 0);
    const std::string big = Make(dir, "BIG.DST", kMaxSendBytes + 1);
    const std::string gone = Make(dir, "GONE.DST", 5);
    const std::string atMost = Make(dir, "MAX.DSB", kMaxSendBytes);
    NewGroupFromFiles({xa, empty}, groups);
    NewGroupFromFiles({a, lowerA, big, gone, atMost}, groups);
    NewGroupFromFiles({xa}, groups);
    fs::remove(gone); // checked as the files are now

    // Groups in ascending order; "A.DST" after "XA.DST" is a different file and is sent.
    SendCollection s = CollectSendFiles({1, 0}, groups);
    EXPECT_EQ(s.Paths(), (std::vector<std::string>{xa, a, atMost}));
    EXPECT_EQ(s.files[1].field, "A       DST ");
    EXPECT_EQ(s.files[2].size, kMaxSendBytes);
    ASSERT_EQ(s.problems.size(), 4u);
    EXPECT_EQ(FileProblemText(s.problems[0]),
              empty + ": 0 bytes; a node takes files of 1 to 1457664 bytes");
    // "a.dst" is kept on a node as "A.DST".
    EXPECT_EQ(FileProblemText(s.problems[1]),
              lowerA + ": has the same name on the node as " + a + " (A.DST)");
    EXPECT_EQ(s.problems[2].kind, FileProblemKind::TooLarge);
    EXPECT_EQ(s.problems[2].size, kMaxSendBytes + 1);
    EXPECT_EQ(s.problems[3].kind, FileProblemKind::Missing);

    // Only the checked groups; an unknown index collects nothing.
    EXPECT_EQ(CollectSendFiles({2, 9}, groups).Paths(), std::vector<std::string>{xa});
    EXPECT_TRUE(CollectSendFiles({}, groups).files.empty());

    // A node's list holds 224 files: the ones beyond are reported, not cut silently.
    std::vector<std::string> many;
    for (int i = 0; i < kMaxEntries + 2; ++i)
        many.push_back(Make(dir, "many/F" + std::to_string(i) + ".DST", 1));
    s = CollectSendPaths(many);
    EXPECT_EQ(s.files.size(), static_cast<size_t>(kMaxEntries));
    ASSERT_EQ(s.problems.size(), 2u);
    EXPECT_EQ(FileProblemText(s.problems[1]),
              many.back() + ": left out; a node holds at most 224 files");
    EXPECT_EQ(CollectSendPaths({dir.path()}).problems[0].kind, FileProblemKind::NotRegular);

    // Two long names with one short form both go, named as the task layer names them; the same
    // long name from another folder is the one left out.
    const std::string one = Make(dir, "long/samplefile06758.dst", 3);
    const std::string two = Make(dir, "long/samplefile09966.dst", 4);
    const std::string again = Make(dir, "again/SampleFile06758.dst", 5);
    s = CollectSendPaths({one, two, again});
    EXPECT_EQ(s.Paths(), (std::vector<std::string>{one, two}));
    const std::vector<AssignedName> names = AssignNodeNames({one, two});
    ASSERT_EQ(s.files.size(), 2u);
    EXPECT_EQ(s.files[0].field, std::string(reinterpret_cast<const char*>(names[0].field), 12));
    EXPECT_EQ(s.files[1].field, std::string(reinterpret_cast<const char*>(names[1].field), 12));
    EXPECT_NE(s.files[0].field, s.files[1].field);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(s.problems[0].kind, FileProblemKind::SameNodeName);
    EXPECT_EQ(s.problems[0].otherPath, one);

    // In the other order the message still names the file of the same long name, under the
    // name it has on the machine (after the step that moved it off the shared short form), not
    // the first file that had that short form.
    s = CollectSendPaths({two, one, again});
    EXPECT_EQ(s.Paths(), (std::vector<std::string>{two, one}));
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(s.problems[0].path, again);
    EXPECT_EQ(s.problems[0].otherPath, one);
    EXPECT_EQ(s.problems[0].nodeName,
              ShownNodeFileName(reinterpret_cast<const uint8_t*>(s.files[1].field.data())));
    EXPECT_NE(s.problems[0].nodeName,
              ShownNodeFileName(reinterpret_cast<const uint8_t*>(s.files[0].field.data())));
}

TEST(FileGroups, LibraryLookupFindsWhatANodeHolds) {
    TempDir dir;
    const std::string top = Make(dir, "lib/a.dst", 1);
    Make(dir, "lib/b/deeper/a.dst", 1);
    const std::string deepB = Make(dir, "lib/b/deeper/B.DSB", 1);
    Make(dir, "lib/c/B.DSB", 1);
    const std::string longName = Make(dir, "lib/c/a long file name.upt", 1);
    uint8_t field[kNameFieldSize];
    NodeNameField(longName, field);
    const std::string shortField(reinterpret_cast<char*>(field), kNameFieldSize);

    // Each folder before its sub-folders: lib/b/deeper comes before lib/c.
    const LibraryLookup found = FindLibraryFiles(
        dir / "lib", {"A       DST ", "NONE    DST ", "B       DSB ", shortField, "X       "});
    EXPECT_EQ(found.paths, (std::vector<std::string>{top, deepB, longName}));
    EXPECT_EQ(found.missing, (std::vector<std::string>{"NONE.DST", "X"}));
    EXPECT_EQ(found.MissingText(), "NONE.DST,XInvalid File!");
    EXPECT_EQ(FindLibraryFiles(dir / "nothing", {"A       DST "}).missing.size(), 1u);
    EXPECT_FALSE(found.cut);

    // A link back up the tree is not followed (Windows makes links only with a privilege); the
    // walk is bounded by a folder count and says when it stopped short.
    std::error_code linkError;
    fs::create_directory_symlink(dir / "lib", dir / "lib/b/loop", linkError);
    if (!kOnWindows || !linkError) {
        ASSERT_FALSE(linkError) << linkError.message();
        const LibraryLookup looped = FindLibraryFiles(dir / "lib", {"NONE    DST "});
        EXPECT_EQ(looped.missing.size(), 1u);
        EXPECT_FALSE(looped.cut);
    }
    const LibraryLookup bounded =
        FindLibraryFiles(dir / "lib", {"A       DST ", "B       DSB "}, 2);
    EXPECT_EQ(bounded.paths, std::vector<std::string>{top}); // lib and lib/b only
    EXPECT_EQ(bounded.missing, std::vector<std::string>{"B.DSB"});
    EXPECT_TRUE(bounded.cut);
}

} // namespace
