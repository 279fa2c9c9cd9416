// The node list's row cache: what a filled row shows, and what each timer tick changes.
#include "link/NodeStatus.h"
#include "station/NodeRows.h"
#include "store/SystemParameters.h"

#include <gtest/gtest.h>

#include <map>

namespace {

NodeSnapshot Snap(int status, int pending, int current = 0, int progress = 0, int missing = 0) {
    NodeSnapshot s;
    s.status = status;
    s.pendingTaskCount = pending;
    s.currentTaskNo = current;
    s.progress = progress;
    s.missingCount = missing;
    return s;
}

// The changed cells of a tick as column -> text.
std::map<int, std::string> Cells(const NodeRowChange& c) {
    return {c.cells.begin(), c.cells.end()};
}

TEST(NodeRows, FilledRowShowsTheRecord) {
    ResetParameters();
    SystemParameters& p = Params();
    p.comOne[1] = 32;
    p.comId[1] = "COM2";
    p.machineName[1][3] = "Line B-04";
    p.machineVisible[1][4] = 1;

    NodeRow r;
    NodeSnapshot n = Snap(NS_QUERY_END, 0);
    n.fileCount = 12;
    n.freeBytes = 700000;
    NodeRowFill f = FillNodeRow(r, 1, 3, n);
    EXPECT_TRUE(f.shown);
    EXPECT_EQ(f.texts, (std::array<std::string, kNodeColumns>{"035", "COM2", "Line B-04", "0", "",
                                                              "", "12", "700000", "Query End"}));
    EXPECT_EQ(r.label, "035");
    EXPECT_EQ(r.status, -1); // no task yet: the first tick shows the status again

    f = FillNodeRow(r, 1, 3, Snap(NS_SENDING_PACKAGES, 2, 7, 0, 17));
    EXPECT_EQ(f.texts[kColTaskNum], "2");
    EXPECT_EQ(f.texts[kColCurrentTask], "7");
    EXPECT_EQ(f.texts[kColRate], "");
    EXPECT_EQ(f.texts[kColInfo], "Sending File's Package...17");
    EXPECT_EQ(FillNodeRow(r, 1, 3, Snap(NS_SENDING_PACKAGES, 2, 7, 40)).texts[kColRate], "40%");
    // A code without a text keeps the last text.
    EXPECT_EQ(FillNodeRow(r, 1, 3, Snap(NS_REQUEST_SENT, 2, 7)).texts[kColInfo],
              "Sending File's Package...0");
    // Notes gone before an end state: shown as cancelled; a fresh node shows nothing.
    EXPECT_EQ(FillNodeRow(r, 1, 3, Snap(NS_WAITING, 0, 7)).texts[kColInfo],
              "User Has Cancelled Task");
    NodeRow fresh;
    EXPECT_EQ(FillNodeRow(fresh, 1, 0, Snap(-1, 0)).texts[kColInfo], "");
    // A machine hidden in the machine table gets no row.
    EXPECT_FALSE(FillNodeRow(fresh, 1, 4, Snap(-1, 0)).shown);
    // Figures a failed query left unknown are shown blank, not as an empty node without room.
    NodeSnapshot unknown = Snap(NS_WAITING, 1, 7);
    unknown.fileCount = unknown.freeBytes = kUnknownFigure;
    f = FillNodeRow(r, 1, 3, unknown);
    EXPECT_EQ(f.texts[kColFileNum], "");
    EXPECT_EQ(f.texts[kColSpaceRoom], "");
    ResetParameters();
}

TEST(NodeRows, TickChangesOnlyWhatChanged) {
    NodeRow r;
    FillNodeRow(r, 0, 0, Snap(-1, 0));
    EXPECT_FALSE(TickNodeRow(r, Snap(-1, 0), true).looked); // idle nodes cost nothing

    // A query: "Quering..." with image 0, then "Query End" with image 1 and the count at 0.
    NodeRowChange c = TickNodeRow(r, Snap(NS_MORE, 1, 1), false);
    EXPECT_EQ(Cells(c), (std::map<int, std::string>{{kColTaskNum, "1"}, {kColCurrentTask, "1"}}));
    EXPECT_EQ(c.image, -1);
    c = TickNodeRow(r, Snap(NS_QUERYING, 1, 1), false);
    EXPECT_EQ(Cells(c), (std::map<int, std::string>{{kColInfo, "Quering..."}}));
    NodeSnapshot end = Snap(NS_QUERY_END, 0, 1);
    end.fileCount = end.listedCount = 3;
    c = TickNodeRow(r, end, true);
    EXPECT_EQ(c.image, 1);
    EXPECT_EQ(Cells(c), (std::map<int, std::string>{
                            {kColTaskNum, "0"}, {kColFileNum, "3"}, {kColInfo, "Query End"}}));
    EXPECT_TRUE(c.refreshFiles); // the selected node's list is whole
    EXPECT_FALSE(TickNodeRow(r, end, true).looked);

    // A send: the missing count follows the node while the status stays 21.
    end.pendingTaskCount = 1;
    TickNodeRow(r, end, false);
    EXPECT_EQ(Cells(TickNodeRow(r, Snap(NS_SENDING_PACKAGES, 1, 2, 10, 40), false)),
              (std::map<int, std::string>{{kColCurrentTask, "2"},
                                          {kColRate, "10%"},
                                          {kColFileNum, "0"},
                                          {kColInfo, "Sending File's Package...40"}}));
    EXPECT_EQ(
        Cells(TickNodeRow(r, Snap(NS_SENDING_PACKAGES, 1, 2, 70, 12), false)),
        (std::map<int, std::string>{{kColRate, "70%"}, {kColInfo, "Sending File's Package...12"}}));
    // A node whose queue empties after "Send File End" keeps that text.
    c = TickNodeRow(r, Snap(NS_FILE_DONE, 0, 2, 100), false);
    EXPECT_EQ(Cells(c)[kColInfo], "Send File End");

    // A query that came and went between two ticks is still shown.
    NodeSnapshot quick = Snap(NS_QUERY_END, 0, 3);
    quick.fileCount = 4;
    c = TickNodeRow(r, quick, true);
    EXPECT_EQ(
        Cells(c),
        (std::map<int, std::string>{
            {kColCurrentTask, "3"}, {kColRate, ""}, {kColFileNum, "4"}, {kColInfo, "Query End"}}));
    EXPECT_TRUE(c.refreshFiles);
    EXPECT_FALSE(TickNodeRow(r, quick, true).looked);

    // A failed query blanks the figures.
    NodeSnapshot failed = Snap(NS_WAITING, 1, 3);
    failed.fileCount = failed.freeBytes = kUnknownFigure;
    c = TickNodeRow(r, failed, false);
    EXPECT_EQ(Cells(c)[kColFileNum], "");
    EXPECT_EQ(Cells(c)[kColSpaceRoom], "");
}

TEST(NodeRows, SelectedNodesFilesAreShownAgainOnceItsListIsWhole) {
    auto at = [](int status, int files, int listed) {
        NodeSnapshot s = Snap(status, 1, 2);
        s.fileCount = files;
        s.listedCount = listed;
        return s;
    };
    NodeRow r;
    FillNodeRow(r, 0, 0, at(NS_QUERY_END, 2, 2));
    // A query: the storage reply counts four files before any list reply has come.
    EXPECT_FALSE(TickNodeRow(r, at(NS_MORE, 2, 2), true).refreshFiles);
    EXPECT_FALSE(TickNodeRow(r, at(NS_MORE, 4, 0), true).refreshFiles);
    EXPECT_FALSE(TickNodeRow(r, at(NS_MORE, 4, 3), true).refreshFiles);
    EXPECT_TRUE(TickNodeRow(r, at(NS_MORE, 4, 4), true).refreshFiles);
    EXPECT_TRUE(TickNodeRow(r, at(NS_QUERY_END, 4, 4), true).refreshFiles);
    EXPECT_FALSE(TickNodeRow(r, at(NS_QUERY_END, 4, 4), true).refreshFiles);
    // Listed again with the same count, between two ticks: the query's end shows it.
    TickNodeRow(r, at(NS_MORE, 4, 4), true);
    EXPECT_TRUE(TickNodeRow(r, at(NS_QUERY_END, 4, 4), true).refreshFiles);
    // A file recorded as sent, then sent again and replaced in place; a failed query (nothing
    // known, nothing to show).
    EXPECT_TRUE(TickNodeRow(r, at(NS_FILE_DONE, 5, 5), true).refreshFiles);
    NodeSnapshot replaced = at(NS_FILE_DONE, 5, 5);
    replaced.listChanges = 1;
    EXPECT_TRUE(TickNodeRow(r, replaced, true).refreshFiles);
    EXPECT_TRUE(TickNodeRow(r, at(NS_WAITING, kUnknownFigure, 0), true).refreshFiles);
    // Another node's list is never shown for it.
    EXPECT_FALSE(TickNodeRow(r, at(NS_QUERY_END, 6, 6), false).refreshFiles);
}

TEST(NodeRows, EndingsAreShownForWhatTheyAre) {
    auto endWith = [](int status, int lastStatus = NS_WAITING) {
        NodeRow r;
        TickNodeRow(r, Snap(lastStatus, 1, 4), false);
        const NodeRowChange c = TickNodeRow(r, Snap(status, 0, 4), false);
        return std::make_pair(r.infoText, c.image);
    };
    // Notes gone while waiting: cancelled, shown by the row alone.
    EXPECT_EQ(endWith(NS_WAITING).first, "User Has Cancelled Task");
    EXPECT_EQ(endWith(-1, -1).first, "User Has Cancelled Task"); // cancelled before it began
    EXPECT_EQ(endWith(NS_STOPPED).first, "User Has Cancelled Task");
    // Other endings keep their own texts; an unknown code is never taken for a cancel.
    EXPECT_EQ(endWith(NS_NO_ROOM), std::make_pair(std::string("No Sufficient Room"), 1));
    EXPECT_EQ(endWith(NS_FILE_UNREADABLE).first, "File Cannot Be Read");
    EXPECT_EQ(endWith(77).first, "Waiting...");

    // A delete that ends on the selected node shows its files again, once: while the node keeps
    // "Delete End" with more work queued, the list (and the operator's ticks in it) stays.
    NodeRow r;
    TickNodeRow(r, Snap(NS_QUERYING, 1, 5), true);
    EXPECT_TRUE(TickNodeRow(r, Snap(NS_DELETE_END, 1, 5), true).refreshFiles);
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_FALSE(TickNodeRow(r, Snap(NS_DELETE_END, 2, 5), true).refreshFiles);
    // The next delete's end refreshes it again.
    EXPECT_FALSE(TickNodeRow(r, Snap(NS_DELETING, 1, 6), true).refreshFiles);
    EXPECT_TRUE(TickNodeRow(r, Snap(NS_DELETE_END, 1, 6), true).refreshFiles);
    NodeRow other;
    TickNodeRow(other, Snap(NS_QUERYING, 1, 5), false);
    EXPECT_FALSE(TickNodeRow(other, Snap(NS_DELETE_END, 1, 5), false).refreshFiles);

    // A lost line: its busy nodes say so, and the text goes with the line's return.
    NodeSnapshot lost = Snap(NS_REQUEST_SENT, 1, 6);
    lost.lineLost = true;
    NodeRowChange c = TickNodeRow(r, lost, false);
    EXPECT_EQ(Cells(c)[kColInfo], "Line Lost");
    EXPECT_EQ(c.image, 0);
    EXPECT_EQ(Cells(TickNodeRow(r, Snap(NS_REQUEST_SENT, 1, 6), false))[kColInfo], "");
    EXPECT_EQ(Cells(TickNodeRow(r, Snap(NS_QUERYING, 1, 6), false))[kColInfo], "Quering...");
    // A node that has its answer while its task is still noted on it keeps the answer.
    lost = Snap(NS_QUERY_END, 1, 6);
    lost.lineLost = true;
    EXPECT_EQ(Cells(TickNodeRow(r, lost, false))[kColInfo], "Query End");

    // Work on a lost line runs out (cancelled while the line was gone): not an end of its own.
    EXPECT_EQ(endWith(NS_LINE_LOST, NS_LINE_LOST).first, "User Has Cancelled Task");
    EXPECT_FALSE(IsEndStatus(NS_LINE_LOST));
    NodeRow gone;
    lost = Snap(NS_LINE_LOST, 1, 7);
    lost.lineLost = true;
    EXPECT_EQ(Cells(TickNodeRow(gone, lost, false))[kColInfo], "Line Lost");
    lost.pendingTaskCount = 0;
    EXPECT_EQ(Cells(TickNodeRow(gone, lost, false))[kColInfo], "User Has Cancelled Task");
    // The line's return, after that, tells the row nothing new.
    EXPECT_TRUE(TickNodeRow(gone, Snap(NS_WAITING, 0, 7), false).cells.empty());
    EXPECT_EQ(gone.infoText, "User Has Cancelled Task");
}

} // namespace
