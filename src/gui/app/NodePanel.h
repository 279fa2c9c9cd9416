// The main window's upper half: the nodes of the shown channel and the files of the chosen node,
// with the commands that act on them (send, delete, clear, query, cancel) and the status timer's
// updates of the node list. The panel keeps the window's one request record; what a command
// decides comes from the station's rules, the panel only collects the selections and shows the
// outcome.
#pragma once

#include "gui/app/Edition.h"
#include "link/CommCenter.h"
#include "station/NodeLabels.h"
#include "station/NodeRows.h"
#include "tasks/TransTask.h"

#include <QVector>
#include <QWidget>

#include <vector>

class CheckListModel;
class CheckListView;
class QLabel;
class QMenu;
class QSplitter;

class NodePanel : public QWidget {
    Q_OBJECT
public:
    explicit NodePanel(const Edition& edition, QWidget* parent = nullptr);

    // The node tables of the centre as it is now (after start-up or a re-creation), and none
    // while the centre may be re-created.
    void readNodeTables();
    void dropNodeTables();
    bool channelOpen(int channel) const { return channelOpen_[channel & 1] != 0; }
    // Nodes of channel c the window knows (0 for a closed channel).
    int nodeCountOf(int channel) const;

    int currentChannel() const { return currentChannel_; }
    // Shows `channel` (after start-up or a re-creation), with no check marks kept.
    void showChannel(int channel);
    // Shows the other channel with the check marks it had; false when that channel is closed.
    bool switchChannel();

    // --- The lists: rebuilt from the records on demand (never by the timer).
    void FillNodeList(int channel);
    void ShowNodeFiles(int channel);
    // One tick of the status timer on the shown channel: single cells change, the node-file list
    // is rebuilt only when the rules say so.
    void tick();

    int selectedRow(int channel) const { return selectedRow_[channel & 1]; }
    NodeRecord* nodeOfRow(int channel, int row) const;
    const std::vector<NodeFileRow>& nodeFileRows() const { return nodeFileRows_; }
    int nodeFilesChannel() const { return nodeFilesChannel_; }
    int nodeFilesNode() const { return nodeFilesNode_; }
    // The 12-byte names of the ticked rows of the node-file list.
    std::vector<std::string> checkedNodeFileFields() const;

    CheckListView* nodeList() const { return nodeList_; }
    CheckListView* nodeFileList() const { return nodeFiles_; }
    QLabel* nodeFilesCaption() const { return nodeFilesCaption_; }
    QMenu* contextMenuOf(const CheckListView* list) const;

    // --- The commands (each checks its right first: refused, it does nothing and shows nothing).
    // Send File: the files of `groups` to the checked nodes.
    void sendFile(const std::vector<int>& groups);
    void deleteFile();
    void clearFile();
    void queryNode();
    void cancelTask();

signals:
    // A list of the panel took the focus or opened its context menu: it is the active list.
    void listActivated(CheckListView* list);
    // Context-menu entries that need the rest of the window.
    void sendRequested();
    void addFromLibraryRequested();

private:
    void createLists(const Edition& edition);
    void createContextMenus();
    void showContextMenu(CheckListView* list, const QPoint& pos);
    void onNodeRowChosen(int row);
    void clearNodeFiles();
    // The caption over the node-file list: "Node" and the label of the node it shows, or nothing.
    void showNodeFilesCaption();
    // request_.nodeMask := the checked nodes of the current channel; false when none.
    bool markCheckedNodes();

    CTransTask request_;
    int currentChannel_ = 0;
    int selectedRow_[kChannels] = {-1, -1}; // -1: no row chosen since the list was filled
    int channelOpen_[kChannels] = {0, 0};
    NodeRecord* nodeRecords_[kChannels][kMaxNodes] = {};
    NodeRow nodeRows_[kChannels][kMaxNodes];
    QVector<int> rowNode_[kChannels];     // node index of each node-list row
    int nodeRowOf_[kChannels][kMaxNodes]; // row of each node; -1: hidden machine, no row
    std::vector<NodeFileRow> nodeFileRows_;
    int nodeFilesChannel_ = -1;
    int nodeFilesNode_ = -1;

    CheckListModel* nodeModel_ = nullptr;
    CheckListModel* nodeFileModel_ = nullptr;
    CheckListView* nodeList_ = nullptr;
    CheckListView* nodeFiles_ = nullptr;
    QLabel* nodeFilesCaption_ = nullptr;
    QMenu* nodeListMenu_ = nullptr;
    QMenu* nodeFileMenu_ = nullptr;
};
