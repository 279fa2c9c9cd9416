// The station's main window: menu bar, toolbar, four status panes, the node list and the selected
// node's files in the upper half (or the file library, by the View File toggle), the files of the
// shown group and the list of file groups in the lower half. A 100 ms timer keeps the node list
// current from the communication centre's records; the window never rebuilds a list for it.
//
// Every command of the menus, the toolbar, the context menus and the tray is a QAction whose
// objectName is "cmd" followed by its command id ("cmd32773" is Send File).
#pragma once

#include "gui/app/Edition.h"
#include "gui/kit/Prompter.h"
#include "link/CommCenter.h"
#include "station/CommandRules.h"
#include "station/FileGroups.h"
#include "station/NodeLabels.h"
#include "station/NodeRows.h"
#include "tasks/TransTask.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class CheckListModel;
class CheckListView;
class QLabel;
class QMenu;
class QSplitter;
class QStackedWidget;
class QSystemTrayIcon;
class QToolBar;

class CTransferDlg : public QMainWindow {
    Q_OBJECT
public:
    explicit CTransferDlg(const Edition& edition, QWidget* parent = nullptr);
    ~CTransferDlg() override;

    // The rest of start-up, after the constructor built the bars and lists: the tray icon, the
    // communication centre from the parameters, the node tables, the shown channel and its
    // nodes; then the window is shown maximised, `loading` (when given) is closed, and the status
    // timer starts last.
    void Initialise(std::unique_ptr<QWidget> loading = nullptr);

    // Puts the file library's view into the upper half's library page (the View File toggle
    // shows it). The window takes ownership; a widget put there before is deleted.
    void setLibraryView(QWidget* view);

    // --- The lists: rebuilt from the records on demand (never by the timer).
    void FillNodeList(int channel);
    void ShowNodeFiles(int channel);
    void ShowGroup(int group, bool withGroupList);
    void ToggleView();
    // The group whose files the group-file list shows (its first row's "Type"), or -1.
    int shownGroup() const;
    // The rows the node-file list shows, with the names Delete File sends, and the channel and
    // node they belong to (-1 while the list shows no node). Delete File deletes exactly these.
    const std::vector<NodeFileRow>& nodeFileRows() const { return nodeFileRows_; }
    int nodeFilesChannel() const { return nodeFilesChannel_; }
    int nodeFilesNode() const { return nodeFilesNode_; }
    // The node record a node-list row shows, or null.
    NodeRecord* nodeOfRow(int channel, int row) const;

    // --- For the tests and the next commands.
    CheckListView* nodeList() const { return nodeList_; }
    CheckListView* nodeFileList() const { return nodeFiles_; }
    QLabel* nodeFilesCaption() const { return nodeFilesCaption_; }
    CheckListView* groupFileList() const { return groupFiles_; }
    CheckListView* fileGroupList() const { return fileGroups_; }
    CheckListView* activeList() const { return activeList_; }
    QLabel* statusPane(int pane) const { return panes_[pane]; }
    QAction* command(int id) const;
    QMenu* contextMenuOf(const CheckListView* list) const;
    QMenu* trayMenu() const { return trayMenu_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QToolBar* toolBar() const { return toolBar_; }
    bool timerRunning() const { return timer_.isActive(); }
    bool nodeViewShown() const { return nodeViewShown_ != 0; }
    int currentChannel() const { return currentChannel_; }
    bool channelOpen(int channel) const { return channelOpen_[channel & 1] != 0; }
    int selectedRow(int channel) const { return selectedRow_[channel & 1]; }
    // True once a close request was honoured (timer stopped, centre destroyed).
    bool shutDown() const { return shutDown_; }

    // One tick of the status timer (also run by the timer every 100 ms).
    void StatusTick();

    // The file dialogs' filter: the three design types in both letter cases, and "All File" as
    // "*", so that a name without a dot shows too.
    static QString FileDialogFilter();

signals:
    // A close request was honoured and everything is torn down: the program may end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    // --- System
    void onTransferParameter();
    void onMachineInformation();
    void onFilePath();
    void onUserManagement();
    void onModifyPassword();
    void onLogOnOut();
    void onSoftNote();
    void onExitSystem();
    // --- Transfer
    void onSelectFile();
    void onSwitchChannel();
    void onSendFile();
    void onDeleteFile();
    void onClearFile();
    void onQueryNode();
    void onCancelTask();
    // --- Operation
    void onSelectAll();
    void onSelectPart();
    void onSelectOther();
    void onCancelAll();
    void onAdd();
    void onDelete();
    void onViewFile();
    // --- Help
    void onEditionInformation();
    void onHowToUse();
    // --- Context menus only
    void onAddNodeFilesFromLibrary();
    void onDeleteGroupFiles();
    void onDeleteGroups();
    void onDropFiles(const QStringList& paths);
    // --- Tray
    void onTrayExitSystem();

private:
    QAction* makeCommand(int id, const QString& text, void (CTransferDlg::*slot)());
    void createCommands();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createLists();
    void createContextMenus();
    void createTray();
    void openChannels();
    // The node tables of the centre as it is now (after start-up or a re-creation), and none
    // while the centre may be re-created.
    void readNodeTables();
    void dropNodeTables();
    // Nodes of channel c the window knows (0 for a closed channel).
    int nodeCountOf(int channel) const;
    void clearNodeFiles();
    // Pane 0: the lines lost now, else the channels' open result.
    void showChannelPane();
    // The caption over the node-file list: "Node" and the label of the node it shows, or nothing.
    void showNodeFilesCaption();

    // --- The commands' parts.
    void showMessage(const QString& text, Prompter::Icon icon = Prompter::Icon::None);
    // A Yes/No question; Icon::Danger for those whose Yes deletes or clears (No is the default).
    bool ask(const QString& text, Prompter::Icon icon = Prompter::Icon::Question);
    // request_.nodeMask := the checked nodes of the current channel; false when none.
    bool markCheckedNodes();
    // Group indexes of the checked rows of the group list, ascending.
    std::vector<int> checkedGroups() const;
    // Shows what a file-group operation left behind, and the files it left out.
    void applyGroupOutcome(const GroupOutcome& outcome);
    void showLeftOut(const std::vector<FileProblem>& problems);
    // The open-file dialog of Select File and Add; empty when cancelled.
    QStringList chooseFiles(const QString& title);
    // Adds paths to the shown group (or a new one), asking before a file replaces one of its name.
    void addToShownGroup(const std::vector<std::string>& paths);
    // Logs and queues a send, delete or clear in request_; false with a message when refused.
    bool handOver(LoggedCommand command, int channel);
    void showContextMenu(CheckListView* list, const QPoint& pos);
    void onNodeRowChosen(int row);
    void onGroupRowChosen(int row);
    // The selection entries, on the active list.
    enum class CheckOp { All, Selected, Unselected, None };
    void applyCheckOp(CheckOp op);
    bool mayClose() const;
    void tearDown();
    void restoreFromTray();

    const Edition edition_;
    QString promptCaption_; // caption of every message box of the window: "Prompting"

    // The window's own state.
    int nodeViewShown_ = 1;
    QString userText_;
    QString openTimeText_;
    CTransTask request_;
    int currentChannel_ = 0;
    int selectedRow_[kChannels] = {-1, -1}; // -1: no row chosen since the list was filled
    int channelOpen_[kChannels] = {0, 0};
    int openResult_ = 0; // the centre's open result (bit 0: channel 1, bit 1: channel 2)
    int lostLines_ = 0;  // the lines pane 0 shows as lost, as LostLines gives them
    NodeRecord* nodeRecords_[kChannels][kMaxNodes] = {};
    NodeRow nodeRows_[kChannels][kMaxNodes];
    QVector<int> rowNode_[kChannels];     // node index of each node-list row
    int nodeRowOf_[kChannels][kMaxNodes]; // row of each node; -1: hidden machine, no row
    std::vector<NodeFileRow> nodeFileRows_;
    int nodeFilesChannel_ = -1;
    int nodeFilesNode_ = -1;
    bool shutDown_ = false;

    // Widgets.
    QToolBar* toolBar_ = nullptr;
    QLabel* panes_[4] = {};
    QStackedWidget* upper_ = nullptr;
    QWidget* libraryPage_ = nullptr;
    QPointer<QWidget> libraryView_;
    QSplitter* nodeSplit_ = nullptr;
    QSplitter* groupSplit_ = nullptr;
    QSplitter* halves_ = nullptr;
    CheckListModel* nodeModel_ = nullptr;
    CheckListModel* nodeFileModel_ = nullptr;
    CheckListModel* groupFileModel_ = nullptr;
    CheckListModel* fileGroupModel_ = nullptr;
    CheckListView* nodeList_ = nullptr;
    CheckListView* nodeFiles_ = nullptr;
    QLabel* nodeFilesCaption_ = nullptr;
    CheckListView* groupFiles_ = nullptr;
    CheckListView* fileGroups_ = nullptr;
    CheckListView* activeList_ = nullptr;
    CheckListView* menuList_ = nullptr; // the list whose context menu is open
    QMenu* nodeListMenu_ = nullptr;
    QMenu* nodeFileMenu_ = nullptr;
    QMenu* groupFileMenu_ = nullptr;
    QMenu* fileGroupMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer timer_;
};
