// The node list's row cache and the rules of the 100 ms status timer, without widgets: what a row
// shows for a node, and on each tick which of its cells change to what. The window keeps one
// NodeRow per node of each channel; talvorn-cli's progress uses the same texts and rules.
//
// The cache decides what to show and never writes a node record: the records belong to the link
// and the task layer. A node whose task notes run out before it reached an end state is *shown*
// as "User Has Cancelled Task"; its status in the record stays what the task layer left.
#pragma once

#include "link/CommCenter.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Status codes the link layer adds for a file that cannot be read at send time (an end state
// for that file) and for nodes with work on a line whose port failed.

// Columns of the node list.
enum NodeColumn : int {
    kColNode = 0,    // "Node": the label
    kColChannel,     // "Channel": the channel's port name
    kColMachine,     // "Machine": the machine name
    kColTaskNum,     // "Task Num"
    kColCurrentTask, // "Current Task"
    kColRate,        // "Rate"
    kColFileNum,     // "File Num"
    kColSpaceRoom,   // "Space Room"
    kColInfo,        // "Transfer Information"
    kNodeColumns
};

// What a node row showed last.
struct NodeRow {
    int32_t checkSaved = 0; // the row's check mark, kept while the other channel is shown
    int32_t image = 0;      // 0: waiting, queried or retried; 1: being served or finished
    int32_t index = -1;     // node index within the channel
    std::string label;
    int32_t pendingTaskCount = 0;
    int32_t currentTaskNo = 0;
    int32_t progress = 0;
    int32_t fileCount = 0;
    int32_t freeBytes = 0;
    int32_t listedCount = 0;   // the node's listed entries when last looked at
    int32_t listChanges = 0;   // the record's listChanges when last looked at
    int32_t status = 0;        // the status whose text the row shows (see ShownStatus)
    int32_t recordStatus = -1; // the record's own code when the row was last looked at
    std::string portName;
    std::string machineName;
    std::string infoText; // the last non-empty "Transfer Information"
};

// What the timer reads of a node record, taken once per tick.
struct NodeSnapshot {
    int32_t status = -1;
    int32_t fileCount = 0;
    int32_t listedCount = 0; // entries of the file list the station holds so far
    int32_t listChanges = 0; // NodeRecord::listChanges
    int32_t freeBytes = 0;
    int32_t progress = 0;
    int32_t pendingTaskCount = 0;
    int32_t currentTaskNo = 0;
    int32_t missingCount = 0;
    bool lineLost = false; // the node's channel has lost its line
};

// The task count is read before the status: a node whose notes are seen gone is then seen with
// the status the task layer set before it removed them.
NodeSnapshot TakeNodeSnapshot(const NodeRecord& node, bool lineLost);

// Whether the channel's line is lost now (false without a centre, or where the link layer cannot
// tell yet).
bool ChannelLineLost(int channel);

// An end state: a status a node keeps when its task is over (the results 4, 5, 6, 10, 11, 12, the
// cancel 22, the failures 23 and 25, and any code this station does not know). "Line Lost" (24)
// is none: the node's work waits for the line.
bool IsEndStatus(int status);

// The status a row shows for a node. A node with work on a lost line shows "Line Lost", unless it
// holds an end state (its answer for the task under way, which it keeps). A node
// without notes whose status is one of the working codes, "Line Lost" among them, shows "User Has
// Cancelled Task"; when its notes have just run out, so does one still at -1 (its task was
// cancelled before it began).
int ShownStatus(const NodeSnapshot& node, bool notesJustRanOut);

// "Transfer Information" of a status: its text; for 21 followed by the missing package count;
// "" for a code without a text.
std::string NodeInfoText(int status, int missingCount);

// The image for a status: 1 for 4, 5, 6, 10, 11, 12, 16, 18, 20, 21, 23; 0 for 14, 15, 17, 19, 24;
// `current` for any other.
int NodeImage(int status, int current);

// "Current Task" ("" below 1) and "Rate" ("" below 1, else the percentage with "%").
std::string CurrentTaskText(int taskNo);
std::string RateText(int progress);
// "File Num" and "Space Room": the figure, or "" while it is not known (kUnknownFigure: the
// node's last query failed).
std::string FigureText(int32_t figure);

// One row of the node list, as FillNodeList builds it.
struct NodeRowFill {
    bool shown = false; // false: the machine is hidden in the machine table and gets no row
    int image = 0;
    std::array<std::string, kNodeColumns> texts;
};

// Fills the cache of node `node` of `channel` from Params() and the snapshot, and returns the row.
NodeRowFill FillNodeRow(NodeRow& row, int channel, int node, const NodeSnapshot& n);

// What one tick changes in a row.
struct NodeRowChange {
    bool looked = false;                            // the node has or just had task notes
    int image = -1;                                 // the new image, -1 when it stays
    std::vector<std::pair<int, std::string>> cells; // column, new text
    bool refreshFiles = false; // the selected node's file list must be shown again
};

// One tick for one node: updates the cache and returns the cells that change. `selected`: the
// node is the one whose files the node-file list shows. Only nodes that have or just had task
// notes are looked at.
//
// The selected node's files are shown again once its list is whole: a query sets the file count
// before the list replies fill the entries, so a refresh at the count alone would show a list
// still being read. The list is whole when the query ends, when every counted entry is listed
// (a sent file is counted and listed at once), or when the figures are unknown (nothing to show);
// a delete that ends refreshes it too. Each ending refreshes it once, when the node enters it.
NodeRowChange TickNodeRow(NodeRow& row, const NodeSnapshot& n, bool selected);
