#include "TestSupport.h"
#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "platform/ScriptedSerialPort.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace testsupport;

namespace {

TEST(TransTask, CopyLeavesCancelNumbersBehind) {
    CTransTask a;
    a.type = TASK_SEND_FILE;
    a.taskNo = 7;
    a.nodeMask[3] = 1;
    a.files = {"x", "y"};
    a.fileName = "f";
    a.fileTag[2] = 9;
    a.cancelTaskNos[0] = 4;
    CTransTask b;
    b.files = {"old"};
    b.cancelTaskNos[0] = 11;
    b = a;
    EXPECT_EQ(b.type, TASK_SEND_FILE);
    EXPECT_EQ(b.taskNo, 7);
    EXPECT_EQ(b.nodeMask[3], 1);
    EXPECT_EQ(b.files, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(b.fileName, "f");
    EXPECT_EQ(b.fileTag[2], 9);
    EXPECT_EQ(b.cancelTaskNos[0], 11);
    CTransTask c(a);
    EXPECT_EQ(c.cancelTaskNos[0], -1);
    a = a; // onto itself: nothing changes
    EXPECT_EQ(a.files.size(), 2u);
}

// A centre built by hand: no ports, no threads; pauses are not waited out.
class TaskLayer : public ::testing::Test {
protected:
    void SetUp() override {
        cc = std::make_unique<CCommCenter>();
        cc->pauseHook = [](int) { return true; };
        cc->channels[0].nodeCount.store(8);
        cc->channels[1].nodeCount.store(4);
    }
    CTransTask* Cmd(int type, std::initializer_list<int> nodes, const std::string& file = "",
                    int taskNo = 1) {
        auto cmd = std::make_unique<CTransTask>();
        cmd->type = type;
        cmd->taskNo = taskNo;
        cmd->fileName = file;
        for (int n : nodes)
            cmd->nodeMask[n] = 1;
        CTransTask* raw = cmd.get();
        cc->commandList[0].Append(std::move(cmd));
        return raw;
    }
    int Cursor(int n) { return cc->nodeSlots[0][n].cmdCursor.load(); }
    void SetCursor(int n, int k) { cc->nodeSlots[0][n].cmdCursor.store(k); }
    std::unique_ptr<CCommCenter> cc;
};

TEST_F(TaskLayer, CreationNumbersPerChannelAndNotesTargetNodes) {
    CTransTask req;
    req.nodeMask[1] = req.nodeMask[3] = 1;
    req.nodeMask[20] = 1; // beyond the channel's 8 nodes: ignored
    EXPECT_EQ(cc->CreateTask(0, req, TASK_QUERY_NODE), 1);
    EXPECT_EQ(req.taskNo, 1);
    EXPECT_EQ(cc->CreateTask(0, req, TASK_CLEAR_FILE), 1);
    EXPECT_EQ(req.taskNo, 2);
    EXPECT_EQ(cc->CreateTask(1, req, TASK_QUERY_NODE), 1);
    EXPECT_EQ(req.taskNo, 1); // channels count on their own
    EXPECT_EQ(cc->nodes[0][1].pendingTaskCount.load(), 2);
    EXPECT_EQ(cc->nodes[0][3].pendingTaskCount.load(), 2);
    EXPECT_EQ(cc->nodes[0][0].pendingTaskCount.load(), 0);
    EXPECT_EQ(cc->nodes[1][1].pendingTaskCount.load(), 1);
    EXPECT_EQ(cc->taskQueue[0].Count(), 2u);

    CTransTask none;
    EXPECT_EQ(cc->CreateTask(0, none, TASK_QUERY_NODE), 1); // queued and numbered all the same
    EXPECT_EQ(none.taskNo, 3);
    EXPECT_EQ(cc->taskQueue[0].Count(), 3u);
}

TEST_F(TaskLayer, CreationNeedsACentreAndOneDeleteTarget) {
    CTransTask req;
    req.nodeMask[0] = 1;
    EXPECT_EQ(CreateQueryTask(0, req), 0); // no process-wide centre
    SetPortFactory([] { return std::make_unique<ScriptedSerialPort>(); });
    std::string names[2] = {"/dev/a", ""};
    int counts[2] = {8, 8}, speeds[2] = {3, 3}, modes[2] = {0, 0};
    ASSERT_EQ(CCommCenter::Create(names, counts, speeds, modes), 1);
    req.nodeMask[1] = 1;
    EXPECT_EQ(CreateDeleteTask(0, req), 0);
    EXPECT_EQ(CCommCenter::Instance()->taskQueue[0].Count(), 0u);
    CCommCenter::Destroy();
    SetPortFactory(nullptr);
}

TEST_F(TaskLayer, ExpansionOfEachTaskKind) {
    CTransTask q;
    q.type = TASK_QUERY_NODE;
    q.nodeMask[2] = q.nodeMask[5] = 1;
    cc->ExpandTask(0, q);
    ASSERT_EQ(cc->commandList[0].Count(), 2u);
    EXPECT_EQ(cc->commandList[0].ItemAt(1)->nodeMask[5], 1);
    EXPECT_EQ(cc->commandList[0].ItemAt(1)->nodeMask[2], 0);
    EXPECT_EQ(Cursor(2), 0);
    EXPECT_EQ(Cursor(5), 1);

    CTransTask d;
    d.type = TASK_DELETE_FILE;
    d.nodeMask[4] = 1;
    d.files = {"A       DST"};
    cc->ExpandTask(0, d);
    ASSERT_EQ(cc->commandList[0].Count(), 2u);
    EXPECT_EQ(cc->commandList[0].ItemAt(0)->type, CMD_DELETE_FILES);
    EXPECT_EQ(cc->commandList[0].ItemAt(0)->files, d.files);
    EXPECT_EQ(cc->commandList[0].ItemAt(1)->type, CMD_QUERY_NODE);

    CTransTask c;
    c.type = TASK_CLEAR_FILE;
    c.nodeMask[1] = c.nodeMask[6] = 1;
    cc->ExpandTask(0, c);
    ASSERT_EQ(cc->commandList[0].Count(), 3u);
    EXPECT_EQ(cc->commandList[0].ItemAt(0)->type, CMD_CLEAR_NODE);
    EXPECT_EQ(cc->commandList[0].ItemAt(2)->nodeMask[6], 1);

    auto pf = std::make_unique<PreparedFile>();
    pf->path = "/a";
    pf->fileTag[0] = 5;
    cc->preparedFiles[0].Append(std::move(pf));
    CTransTask s;
    s.type = TASK_SEND_FILE;
    s.nodeMask[0] = 1;
    cc->ExpandTask(0, s);
    ASSERT_EQ(cc->commandList[0].Count(), 4u);
    const int order[] = {CMD_SEND_HEAD, CMD_CHECK_FILE, CMD_SEND_PACKAGES, CMD_CHECK_FILE};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cc->commandList[0].ItemAt(i)->type, order[i]);
        EXPECT_EQ(cc->commandList[0].ItemAt(i)->fileName, "/a");
        EXPECT_EQ(cc->commandList[0].ItemAt(i)->fileTag[0], 5);
    }
}

TEST_F(TaskLayer, SeekCursorKinds) {
    // Two files: head, check, packages, check each.
    for (const char* f : {"/a", "/b"})
        for (int t : {CMD_SEND_HEAD, CMD_CHECK_FILE, CMD_SEND_PACKAGES, CMD_CHECK_FILE})
            Cmd(t, {0, 1}, f);
    CTransTask refB;
    refB.fileName = "/b";
    SetCursor(0, 7);
    EXPECT_EQ(cc->SeekCursor(0, 0, 2, refB), 1); // back to b's head
    EXPECT_EQ(Cursor(0), 4);
    SetCursor(0, 7);
    EXPECT_EQ(cc->SeekCursor(0, 0, 3, refB), 1); // back to b's packages
    EXPECT_EQ(Cursor(0), 6);
    CTransTask refA;
    refA.fileName = "/a";
    SetCursor(0, 3);
    EXPECT_EQ(cc->SeekCursor(0, 0, 4, refA), 1); // on to the next file's head
    EXPECT_EQ(Cursor(0), 4);
    SetCursor(0, 7);
    EXPECT_EQ(cc->SeekCursor(0, 0, 4, refB), 1); // past the last file: nothing left
    EXPECT_EQ(Cursor(0), 8);
    // Kind 0: the nearest earlier command that includes the node.
    cc->commandList[0].ItemAt(5)->nodeMask[1] = 0;
    SetCursor(1, 6);
    EXPECT_EQ(cc->SeekCursor(0, 1, 0, refB), 1);
    EXPECT_EQ(Cursor(1), 4);
    SetCursor(1, 0);
    EXPECT_EQ(cc->SeekCursor(0, 1, 1, refB), 0);
    EXPECT_EQ(Cursor(1), 0);
    // Kind 2 needs the node in the head; kind 4 does not look.
    cc->commandList[0].ItemAt(4)->nodeMask[1] = 0;
    SetCursor(1, 7);
    EXPECT_EQ(cc->SeekCursor(0, 1, 2, refB), 0);
    EXPECT_EQ(Cursor(1), 7);
}

TEST_F(TaskLayer, AdvanceFinishAndRotation) {
    Cmd(CMD_DELETE_FILES, {2, 3});
    Cmd(CMD_QUERY_NODE, {3}, "", 1);
    Cmd(CMD_QUERY_NODE, {2}, "", 2);
    cc->AdvanceCursor(0, 2);
    EXPECT_EQ(Cursor(2), 2);
    cc->AdvanceCursor(0, 3);
    EXPECT_EQ(Cursor(3), 1);
    cc->AdvanceCursor(0, 3); // nothing after: stays
    EXPECT_EQ(Cursor(3), 1);

    CTransTask byNo;
    byNo.taskNo = 2;
    cc->FinishNode(0, 2, &byNo, true);
    EXPECT_EQ(cc->commandList[0].ItemAt(0)->nodeMask[2], 1);
    EXPECT_EQ(cc->commandList[0].ItemAt(2)->nodeMask[2], 0);
    cc->FinishNode(0, 3, nullptr, false);
    EXPECT_EQ(cc->commandList[0].ItemAt(0)->nodeMask[3], 0);
    EXPECT_EQ(cc->commandList[0].ItemAt(1)->nodeMask[3], 0);

    cc->rotateIndex[0] = 2;
    cc->AdvanceRotation(0);
    EXPECT_EQ(cc->rotateIndex[0], 0);
}

TEST_F(TaskLayer, StartNextCommandServesCursorsInRotation) {
    Cmd(CMD_CLEAR_NODE, {0, 1});
    Cmd(CMD_QUERY_NODE, {0});
    Cmd(CMD_QUERY_NODE, {1});
    SetCursor(0, 1);
    SetCursor(1, 2);
    cc->rotateIndex[0] = 0;
    EXPECT_EQ(cc->StartNextCommand(0), CMD_QUERY_NODE);
    EXPECT_EQ(cc->runningCmd[0].nodeMask[0], 1);
    EXPECT_EQ(cc->runningCmd[0].nodeMask[1], 0);
    EXPECT_EQ(cc->channels[0].requestNode.load(), 0);
    EXPECT_EQ(cc->nodes[0][0].status.load(), NS_MORE);
    cc->channels[0].cmdType.store(CMD_IDLE);
    cc->AdvanceRotation(0);
    EXPECT_EQ(cc->StartNextCommand(0), CMD_QUERY_NODE);
    EXPECT_EQ(cc->runningCmd[0].nodeMask[1], 1);
    cc->channels[0].cmdType.store(CMD_IDLE);
    // Both cursors on the clear: one start serves both.
    SetCursor(0, 0);
    SetCursor(1, 0);
    EXPECT_EQ(cc->StartNextCommand(0), CMD_CLEAR_NODE);
    EXPECT_EQ(cc->runningCmd[0].nodeMask[0], 1);
    EXPECT_EQ(cc->runningCmd[0].nodeMask[1], 1);
    cc->channels[0].cmdType.store(CMD_IDLE);
    SetCursor(0, 5);
    SetCursor(1, 5);
    EXPECT_EQ(cc->StartNextCommand(0), -1);
}

TEST_F(TaskLayer, DeferNodeMakesOneSingleNodeCopyPerTask) {
    CTransTask req;
    req.nodeMask[1] = req.nodeMask[2] = 1;
    cc->CreateTask(0, req, TASK_QUERY_NODE);
    cc->StartTask(0);
    EXPECT_EQ(cc->currentTask[0].taskNo, 1);
    EXPECT_TRUE(cc->DeferNode(0, 1));
    EXPECT_TRUE(cc->DeferNode(0, 2));
    ASSERT_EQ(cc->deferredQueue[0].Count(), 1u);
    const CTransTask* d = cc->deferredQueue[0].ItemAt(0);
    EXPECT_EQ(d->taskNo, 1);
    EXPECT_EQ(d->nodeMask[1], 1);
    EXPECT_EQ(d->nodeMask[2], 1);
    EXPECT_EQ(cc->currentTask[0].nodeMask[1], 0);
    // The notes stay: the copy is still pending on both nodes.
    EXPECT_EQ(cc->nodes[0][1].pendingTasks.Count(), 1u);
    // A node without a note for the task is just dropped from it.
    cc->currentTask[0].nodeMask[5] = 1;
    EXPECT_FALSE(cc->DeferNode(0, 5));
    EXPECT_EQ(cc->currentTask[0].nodeMask[5], 0);
}

TEST_F(TaskLayer, ANodeFailingTheQueryPhaseOfASendStaysForTheSendPhase) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "a.dst", DesignBytes(600, 1)));
    CTransTask req;
    req.nodeMask[1] = req.nodeMask[2] = 1;
    req.files = {dir / "a.dst"};
    cc->CreateTask(0, req, TASK_SEND_FILE);
    cc->StartTask(0);
    ASSERT_EQ(cc->currentTask[0].type, TASK_QUERY_NODE);
    EXPECT_TRUE(cc->DeferNode(0, 1));
    EXPECT_EQ(cc->deferredQueue[0].Count(), 0u); // no deferred query copy
    EXPECT_EQ(cc->currentTask[0].nodeMask[1], 1);
    cc->EndTask(0); // the send phase takes it along
    EXPECT_EQ(cc->currentTask[0].type, TASK_SEND_FILE);
    EXPECT_EQ(cc->currentTask[0].nodeMask[1], 1);
}

TEST_F(TaskLayer, AFailedQueryLeavesTheFiguresUnknownAndASendDoesNotCountFromThem) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "a.dst", DesignBytes(600, 1)));
    NodeRecord& node = cc->nodes[0][1];
    node.fileCount.store(4);
    node.freeBytes.store(1288192);
    CTransTask req;
    req.nodeMask[1] = 1;
    req.files = {dir / "a.dst"};
    cc->CreateTask(0, req, TASK_SEND_FILE);
    cc->StartTask(0);
    // The query phase: the node's query goes unanswered.
    ASSERT_EQ(cc->StartNextCommand(0), CMD_QUERY_NODE);
    node.status.store(NS_NO_REPLY);
    cc->channels[0].cmdType.store(CMD_IDLE);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_QUERY_NODE));
    EXPECT_EQ(node.status.load(), NS_WAITING);
    EXPECT_EQ(node.fileCount.load(), kUnknownFigure);
    EXPECT_EQ(node.freeBytes.load(), kUnknownFigure);
    EXPECT_TRUE(node.ListedFiles().empty());
    // The node stays for the send and takes the file; the station still does not know what the
    // node holds, so it does not make the figures up.
    cc->EndTask(0);
    ASSERT_EQ(cc->currentTask[0].nodeMask[1], 1);
    CTransTask sent;
    sent.fileName = dir / "a.dst";
    cc->RecordSentFile(0, 1, sent);
    EXPECT_EQ(node.fileCount.load(), kUnknownFigure);
    EXPECT_EQ(node.freeBytes.load(), kUnknownFigure);
}

TEST_F(TaskLayer, StopNodesStopsPendingNodesOnce) {
    ChannelState& ch = cc->channels[0];
    uint8_t mask[8] = {0x07};
    ch.SetTargetMask(mask);
    for (int n : {0, 1})
        ch.nodePending[n].store(1);
    ch.cmdType.store(CMD_SEND_PACKAGES);
    cc->StopNodes(0);
    EXPECT_EQ(cc->nodes[0][0].status.load(), NS_STOPPED);
    EXPECT_EQ(cc->nodes[0][2].status.load(), -1); // not pending: left in the command
    uint8_t left[8];
    ch.GetTargetMask(left);
    EXPECT_EQ(left[0], 0x04);
    EXPECT_EQ(ch.cmdType.load(), CMD_SEND_PACKAGES);
    // A node cancelled after the first stop stays cancelled through a second one.
    cc->nodes[0][0].status.store(NS_CANCELLED);
    ch.nodePending[2].store(1);
    std::vector<int> pauses;
    cc->pauseHook = [&](int ms) {
        pauses.push_back(ms);
        return true;
    };
    cc->StopNodes(0);
    EXPECT_EQ(cc->nodes[0][0].status.load(), NS_CANCELLED);
    EXPECT_EQ(cc->nodes[0][2].status.load(), NS_STOPPED);
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE); // nobody left in the command
    // The channel rests before its next step, but nobody sleeps for it (cancel, or the scheduler
    // under its cycle lock, would make the window wait).
    EXPECT_TRUE(pauses.empty());
    EXPECT_GT(cc->stopSettleUntil[0].load(), cc->NowMs());
}

// The windows show nothing new for a status without a text, so a node that ends a command on one
// would go on showing the text of an earlier step (or, its notes gone, "User Has Cancelled Task").
TEST_F(TaskLayer, EveryNodeEndsACommandShowingAText) {
    for (int status = -1; status <= NS_DUPLICATE_NAME + 5; ++status) {
        for (int way = 0; way < 4; ++way) {
            const bool more = way & 1, deferred = way & 2;
            const int settled = SettledStatus(status, more, deferred);
            EXPECT_STRNE(NodeStatusText(settled), "") << status << "/" << way;
            if (NodeStatusText(status)[0] != '\0') {
                EXPECT_EQ(settled, status) << way; // a status with its own text stays
            }
        }
    }
    EXPECT_EQ(SettledStatus(NS_STOPPED, true, false), NS_QUERYING);
    EXPECT_EQ(SettledStatus(NS_NO_REPLY, false, true), NS_WAITING);
    EXPECT_EQ(SettledStatus(NS_REQUEST_SENT, false, false), NS_CANCELLED);

    // A head to nodes 0 and 1 after which node 1 finds its line lost: deferring it stops every
    // node still pending in the command, itself and node 0 included, which has already been
    // moved on to its check.
    CTransTask req;
    req.nodeMask[0] = req.nodeMask[1] = 1;
    cc->CreateTask(0, req, TASK_QUERY_NODE);
    cc->StartTask(0);
    cc->currentTask[0].type = TASK_SEND_FILE;
    cc->commandList[0].Clear();
    for (int type : {CMD_SEND_HEAD, CMD_CHECK_FILE, CMD_SEND_PACKAGES, CMD_CHECK_FILE})
        Cmd(type, {0, 1}, "a.dst");
    SetCursor(0, 0);
    SetCursor(1, 0);
    cc->runningCmd[0] = *cc->commandList[0].ItemAt(0);
    cc->channels[0].nodePending[0].store(1);
    cc->channels[0].nodePending[1].store(1);
    cc->nodes[0][0].status.store(NS_IDLE);
    cc->nodes[0][1].status.store(NS_LINE_LOST);
    cc->channels[0].lineLost.store(1);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_SEND_HEAD));
    EXPECT_EQ(Cursor(0), 1);
    EXPECT_STREQ(NodeStatusText(cc->nodes[0][0].status.load()), "Quering...");
    EXPECT_STREQ(NodeStatusText(cc->nodes[0][1].status.load()), "Line Lost");
    EXPECT_EQ(cc->deferredQueue[0].Count(), 1u);

    // A file check that node 5 did not answer, with no note of the task left on it: it cannot
    // be deferred, and leaves the task as the windows show it.
    cc->currentTask[0].nodeMask[5] = 1;
    Cmd(CMD_CHECK_FILE, {5}, "a.dst");
    SetCursor(5, 4);
    cc->runningCmd[0] = *cc->commandList[0].ItemAt(4);
    cc->nodes[0][5].status.store(NS_NO_REPLY);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
    EXPECT_STREQ(NodeStatusText(cc->nodes[0][5].status.load()), "User Has Cancelled Task");
    EXPECT_EQ(cc->currentTask[0].nodeMask[5], 0);
}

// A line lost half-way through a task: the nodes that have their answer keep it, the others say
// why they wait, and only those wait again once the line is back.
TEST_F(TaskLayer, ALostLineLeavesTheAnswersNodesAlreadyHave) {
    CTransTask req;
    req.nodeMask[0] = req.nodeMask[1] = req.nodeMask[2] = req.nodeMask[3] = 1;
    cc->CreateTask(0, req, TASK_QUERY_NODE);
    CTransTask later;
    later.nodeMask[1] = 1;
    cc->CreateTask(0, later, TASK_QUERY_NODE);
    cc->StartTask(0);
    // Nodes 0 and 1 answer their queries, node 2 is cancelled; node 3 has yet to be asked.
    for (int n : {0, 1, 2}) {
        ASSERT_EQ(cc->StartNextCommand(0), CMD_QUERY_NODE);
        ASSERT_EQ(cc->runningCmd[0].FirstNode(8), n);
        cc->nodes[0][n].status.store(n == 2 ? NS_CANCELLED : NS_QUERY_END);
        cc->channels[0].cmdType.store(CMD_IDLE);
        ASSERT_TRUE(cc->CompleteStep(0, CMD_QUERY_NODE));
    }
    ASSERT_EQ(cc->taskActive[0].load(), 1);
    ASSERT_EQ(cc->nodes[0][0].pendingTaskCount.load(), 1); // noted until the task ends

    cc->channels[0].lineLost.store(1);
    cc->ShowLineState(0, true);
    auto text = [&](int n) { return std::string(NodeStatusText(cc->nodes[0][n].status.load())); };
    EXPECT_EQ(text(0), "Query End");
    EXPECT_EQ(text(1), "Line Lost") << "its next task waits for the line";
    EXPECT_EQ(text(2), "User Has Cancelled Task");
    EXPECT_EQ(text(3), "Line Lost");

    cc->channels[0].lineLost.store(0);
    cc->ShowLineState(0, false);
    EXPECT_EQ(text(0), "Query End");
    EXPECT_EQ(text(1), "Waiting...");
    EXPECT_EQ(text(3), "Waiting...");

    // In the query phase of a send, an answered query is no end: the send follows.
    cc->sendPrepared[0] = 1;
    cc->ShowLineState(0, true);
    EXPECT_EQ(text(0), "Line Lost");
    cc->sendPrepared[0] = 0;
}

TEST_F(TaskLayer, NewTaskRunsBeforeADeferredOne) {
    auto deferred = std::make_unique<CTransTask>();
    deferred->type = TASK_QUERY_NODE;
    deferred->taskNo = 1;
    deferred->nodeMask[0] = 1;
    cc->deferredQueue[0].Append(std::move(deferred));
    CTransTask req;
    req.nodeMask[3] = 1;
    cc->taskCounter[0].store(1);
    cc->CreateTask(0, req, TASK_QUERY_NODE);
    cc->StartTask(0);
    EXPECT_EQ(cc->currentTask[0].taskNo, 2);
    EXPECT_EQ(cc->deferredQueue[0].Count(), 1u);
    EXPECT_EQ(cc->taskQueue[0].Count(), 0u);
}

TEST_F(TaskLayer, EndTaskRemovesNotesAndStartsTheSendPhase) {
    CTransTask req;
    req.nodeMask[0] = req.nodeMask[1] = 1;
    cc->CreateTask(0, req, TASK_QUERY_NODE);
    cc->StartTask(0);
    EXPECT_EQ(cc->nodes[0][0].currentTaskNo.load(), 1);
    cc->EndTask(0);
    EXPECT_EQ(cc->taskActive[0].load(), 0);
    EXPECT_EQ(cc->nodes[0][0].pendingTaskCount.load(), 0);
    EXPECT_EQ(cc->nodes[0][1].pendingTasks.Count(), 0u);

    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "a.dst", DesignBytes(600, 1)));
    CTransTask send;
    send.nodeMask[2] = 1;
    send.files = {dir / "a.dst", dir / "missing.dst"};
    cc->CreateTask(0, send, TASK_SEND_FILE);
    cc->StartTask(0);
    EXPECT_EQ(cc->currentTask[0].type, TASK_QUERY_NODE); // query phase first
    EXPECT_EQ(cc->sendPrepared[0], 1);
    EXPECT_EQ(cc->preparedFiles[0].Count(), 1u); // the missing file is left out
    cc->EndTask(0);
    EXPECT_EQ(cc->currentTask[0].type, TASK_SEND_FILE);
    EXPECT_EQ(cc->taskActive[0].load(), 1);
    EXPECT_EQ(cc->commandList[0].Count(), 4u);
    EXPECT_EQ(cc->nodes[0][2].pendingTaskCount.load(), 1);
}

TEST_F(TaskLayer, CancelCollectsDistinctPendingTasks) {
    CTransTask a, b;
    a.nodeMask[0] = a.nodeMask[1] = 1;
    b.nodeMask[1] = 1;
    cc->CreateTask(0, a, TASK_QUERY_NODE);
    cc->CreateTask(0, b, TASK_CLEAR_FILE);
    CTransTask sel;
    sel.nodeMask[0] = sel.nodeMask[1] = sel.nodeMask[2] = 1;
    auto list = CollectCancelList(*cc, 0, sel);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].taskNo, 1);  // node 0's only note
    EXPECT_EQ(list[1].taskNo, 2);  // node 1's notes, last first; task 1 already listed
    EXPECT_EQ(sel.nodeMask[2], 0); // no note: dropped from the selection
    EXPECT_STREQ(TaskTypeName(list[1].type), "Clear File");
    EXPECT_FALSE(FillCancelNumbers(list, sel)); // nothing ticked
    list[0].ticked = 1;
    EXPECT_TRUE(FillCancelNumbers(list, sel));
    EXPECT_EQ(sel.cancelTaskNos[0], 1);
    EXPECT_EQ(sel.cancelTaskNos[1], -1);
}

TEST_F(TaskLayer, CancelOfAQueuedTaskNodeByNode) {
    CTransTask a;
    a.nodeMask[0] = a.nodeMask[1] = 1;
    cc->CreateTask(0, a, TASK_QUERY_NODE);
    CTransTask cancel;
    cancel.nodeMask[0] = 1;
    cancel.cancelTaskNos[0] = 1;
    cancel.cancelTaskNos[1] = -1;
    EXPECT_EQ(cc->CancelTasks(0, cancel), 1);
    ASSERT_EQ(cc->taskQueue[0].Count(), 1u);
    EXPECT_EQ(cc->taskQueue[0].ItemAt(0)->nodeMask[0], 0);
    EXPECT_EQ(cc->taskQueue[0].ItemAt(0)->nodeMask[1], 1);
    EXPECT_EQ(cc->nodes[0][0].pendingTaskCount.load(), 0);
    EXPECT_EQ(cc->schedulerHold.load(), 0);
    cancel.nodeMask[1] = 1;
    cc->CancelTasks(0, cancel);
    EXPECT_EQ(cc->taskQueue[0].Count(), 0u);
    EXPECT_EQ(cc->nodes[0][1].pendingTaskCount.load(), 0);
}

TEST_F(TaskLayer, CancelOfADeferredCopy) {
    CTransTask req;
    req.nodeMask[3] = 1;
    cc->CreateTask(0, req, TASK_QUERY_NODE);
    cc->StartTask(0);
    ASSERT_TRUE(cc->DeferNode(0, 3));
    cc->EndTask(0);
    ASSERT_EQ(cc->deferredQueue[0].Count(), 1u);
    CTransTask cancel;
    cancel.nodeMask[3] = 1;
    cancel.cancelTaskNos[0] = 1;
    cc->CancelTasks(0, cancel);
    EXPECT_EQ(cc->deferredQueue[0].Count(), 0u);
    EXPECT_EQ(cc->nodes[0][3].status.load(), NS_CANCELLED);
    EXPECT_EQ(cc->nodes[0][3].pendingTaskCount.load(), 0);
}

// A send of one file to nodes 0..2 at its second file check (after the packages), as the
// scheduler leaves it while the check runs.
class SendCheck : public TaskLayer {
protected:
    void SetUp() override {
        TaskLayer::SetUp();
        ASSERT_TRUE(WriteFile(path, DesignBytes(1500, 7)));
        CTransTask req;
        req.nodeMask[0] = req.nodeMask[1] = req.nodeMask[2] = 1;
        cc->CreateTask(0, req, TASK_QUERY_NODE);
        cc->StartTask(0);
        cc->currentTask[0].type = TASK_SEND_FILE;
        cc->commandList[0].Clear();
        for (int type : {CMD_SEND_HEAD, CMD_CHECK_FILE, CMD_SEND_PACKAGES, CMD_CHECK_FILE})
            Cmd(type, {0, 1, 2}, path);
        for (int n : {0, 1, 2}) {
            NodeRecord& node = cc->nodes[0][n];
            node.fileCount.store(0);
            node.freeBytes.store(100000);
            node.packageTotal.store(3);
        }
    }
    // The second check is under way on `nodes`.
    void AtSecondCheck(std::initializer_list<int> nodes) {
        for (int n : nodes)
            SetCursor(n, 3);
        cc->runningCmd[0] = *cc->commandList[0].ItemAt(3);
        for (int n = 0; n < 8; ++n)
            cc->runningCmd[0].nodeMask[n] = 0;
        for (int n : nodes)
            cc->runningCmd[0].nodeMask[n] = 1;
        cc->stepActive[0] = 1;
        cc->runningType[0] = CMD_CHECK_FILE;
    }
    std::string Text(int n) { return NodeStatusText(cc->nodes[0][n].status.load()); }
    TempDir dir;
    const std::string path = dir / "a.dst";
};

// A check answer "packages missing" that names none the packages command can send would have the
// node sent nothing and asked again for ever: each kind of such answer ends the node after a
// bounded number of rounds, and an answer that names a package starts the count afresh.
TEST_F(SendCheck, UselessCheckRepliesEndTheNodeAfterBoundedRounds) {
    NodeRecord& node = cc->nodes[0][0];
    auto answer = [&](const std::vector<int>& needed) {
        AtSecondCheck({0});
        for (auto& flag : node.needPackage)
            flag.store(0);
        for (int i : needed)
            node.needPackage[i].store(1);
        node.status.store(NS_MORE);
        ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
    };
    const std::vector<std::pair<const char*, std::vector<int>>> kinds = {
        {"only the head", {0}}, {"only beyond the file", {4, 2000}}, {"none", {}}};
    for (const auto& [kind, needed] : kinds) {
        // Rebuild the node's place in the send, as a fresh round of the same file.
        cc->commandList[0].Clear();
        for (int type : {CMD_SEND_HEAD, CMD_CHECK_FILE, CMD_SEND_PACKAGES, CMD_CHECK_FILE})
            Cmd(type, {0, 1, 2}, path);
        node.uselessChecks.store(0);
        for (int round = 1; round < kUselessCheckLimit; ++round) {
            answer(needed);
            EXPECT_EQ(Text(0), "Sending File's Package...") << kind << " " << round;
            EXPECT_EQ(Cursor(0), 2) << kind; // back to the packages
        }
        // One that names a package is progress: the count starts again.
        answer({3});
        EXPECT_EQ(Text(0), "Sending File's Package...") << kind;
        for (int round = 1; round < kUselessCheckLimit; ++round)
            answer(needed);
        EXPECT_EQ(Text(0), "Sending File's Package...") << kind;
        answer(needed);
        EXPECT_EQ(Text(0), "Send Made No Progress") << kind;
        for (size_t k = 0; k < cc->commandList[0].Count(); ++k)
            EXPECT_EQ(cc->commandList[0].ItemAt(k)->nodeMask[0], 0) << kind << " " << k;
    }
    EXPECT_TRUE(EndsNodePart(NS_NO_PROGRESS));
}

// The line is lost while the check runs: node 0 has answered "complete", node 1's request is out,
// node 2 has yet to be asked. Node 0 keeps its answer and its file is recorded as sent; the others
// show the loss and wait for the line.
TEST_F(SendCheck, ALostLineKeepsWhatNodesAnsweredToTheCheckUnderWay) {
    AtSecondCheck({0, 1, 2});
    ChannelState& ch = cc->channels[0];
    uint8_t mask[8] = {0x07};
    ch.SetTargetMask(mask);
    ch.nodePending[2].store(1);
    cc->nodes[0][0].status.store(NS_FILE_DONE);
    cc->nodes[0][1].status.store(NS_REQUEST_SENT);
    cc->nodes[0][2].status.store(NS_IDLE);
    ch.cmdType.store(CMD_CHECK_FILE);
    ch.lineLost.store(1);

    cc->ShowLineState(0, true); // the scheduler's cycle sees the loss before the sender
    EXPECT_EQ(Text(0), "Send File End");
    cc->AbandonCommand(0); // the sender ends the check
    EXPECT_EQ(ch.cmdType.load(), CMD_IDLE);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
    cc->stepActive[0] = 0;
    EXPECT_EQ(Text(0), "Send File End");
    const auto listed = cc->nodes[0][0].ListedFiles();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].length, 1500u);
    EXPECT_EQ(Text(1), "Line Lost");
    EXPECT_EQ(Text(2), "Line Lost");
    ASSERT_EQ(cc->deferredQueue[0].Count(), 1u);
    EXPECT_EQ(cc->deferredQueue[0].ItemAt(0)->nodeMask[0], 0);

    cc->ShowLineState(0, true); // the next cycle: node 0's part is over
    EXPECT_EQ(Text(0), "Send File End");
    EXPECT_EQ(Text(1), "Line Lost");
}

// A file check that gets no answer (its request or reply lost) is no reason to send a node its
// files again from the first: it is asked again where that costs least, and the node that fell
// back is served before the others go on. After a few losses in a row it is deferred.
TEST_F(SendCheck, ALostCheckIsAskedAgainWhereItCostsLeast) {
    // The first check (before the packages): node 2 goes on to the packages with the others.
    SetCursor(0, 1);
    SetCursor(1, 1);
    SetCursor(2, 1);
    cc->rotateIndex[0] = 1;
    cc->runningCmd[0] = *cc->commandList[0].ItemAt(1);
    for (int n : {0, 1})
        cc->nodes[0][n].status.store(NS_MORE);
    cc->nodes[0][2].status.store(NS_REQUEST_SENT);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
    for (int n : {0, 1, 2})
        EXPECT_EQ(Cursor(n), 2) << n;
    EXPECT_EQ(Text(2), "Sending File's Package...");
    EXPECT_EQ(cc->rotateIndex[0], 2);

    // The second check: node 0 lacks a package, node 1 is done, node 2's reply came broken.
    // Both are served again (node 0's package, node 2's check) before node 1 goes on.
    cc->rotateIndex[0] = 3;
    AtSecondCheck({0, 1, 2});
    cc->nodes[0][0].status.store(NS_MORE);
    cc->nodes[0][0].needPackage[2].store(1);
    cc->nodes[0][1].status.store(NS_FILE_DONE);
    cc->nodes[0][2].status.store(NS_NO_REPLY);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
    EXPECT_EQ(Cursor(0), 2);
    EXPECT_EQ(Cursor(2), 3);
    EXPECT_EQ(Text(2), "Quering...");
    EXPECT_EQ(cc->rotateIndex[0], 2) << "the one furthest back first";
    EXPECT_EQ(cc->deferredQueue[0].Count(), 0u);

    // Lost again and again (two in a row so far): after the retries, node 2 is deferred.
    for (int tries = 2; tries < kLostCheckRetries; ++tries) {
        AtSecondCheck({2});
        cc->nodes[0][2].status.store(NS_REQUEST_SENT);
        ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
        EXPECT_EQ(Text(2), "Quering...") << tries;
    }
    AtSecondCheck({2});
    cc->nodes[0][2].status.store(NS_REQUEST_SENT);
    ASSERT_TRUE(cc->CompleteStep(0, CMD_CHECK_FILE));
    EXPECT_EQ(Text(2), "Waiting...");
    EXPECT_EQ(cc->deferredQueue[0].Count(), 1u);
}

} // namespace
