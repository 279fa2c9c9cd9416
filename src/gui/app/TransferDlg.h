// The station's main window: menu bar, toolbar, four status panes, the upper half (the node
// panel, or the file library by the View File toggle) and the lower half (the group panel). The
// panels own their lists and the commands that act on them; the window places and connects them,
// holds the commands of the menus, the toolbar and the tray, and runs the 100 ms status timer that
// keeps the node list current from the communication centre's records.
//
// Every command of the menus, the toolbar, the context menus and the tray is a QAction whose
// objectName is "cmd" followed by its command id ("cmd32773" is Send File; CommandIds.h).
#pragma once

#include "gui/app/Edition.h"
#include "gui/app/GroupPanel.h"
#include "gui/app/NodePanel.h"
#include "gui/app/StationTray.h"
#include "gui/app/StatusPanes.h"
#include "gui/kit/CheckListView.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

namespace api {
class ApiServer;
}
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
    QWidget* libraryView() const { return libraryView_; }

    // --- The lists: rebuilt from the records on demand (never by the timer).
    void FillNodeList(int channel) { nodes_->FillNodeList(channel); }
    void ShowNodeFiles(int channel) { nodes_->ShowNodeFiles(channel); }
    void ShowGroup(int group, bool withGroupList) { groups_->ShowGroup(group, withGroupList); }
    void ToggleView();
    // The group whose files the group-file list shows (its first row's "Type"), or -1.
    int shownGroup() const { return groups_->shownGroup(); }
    // The rows the node-file list shows, with the names Delete File sends, and the channel and
    // node they belong to (-1 while the list shows no node). Delete File deletes exactly these.
    const std::vector<NodeFileRow>& nodeFileRows() const { return nodes_->nodeFileRows(); }
    int nodeFilesChannel() const { return nodes_->nodeFilesChannel(); }
    int nodeFilesNode() const { return nodes_->nodeFilesNode(); }
    // The node record a node-list row shows, or null.
    NodeRecord* nodeOfRow(int channel, int row) const { return nodes_->nodeOfRow(channel, row); }

    // --- For the tests and the next commands.
    NodePanel* nodePanel() const { return nodes_; }
    GroupPanel* groupPanel() const { return groups_; }
    CheckListView* nodeList() const { return nodes_->nodeList(); }
    CheckListView* nodeFileList() const { return nodes_->nodeFileList(); }
    QLabel* nodeFilesCaption() const { return nodes_->nodeFilesCaption(); }
    CheckListView* groupFileList() const { return groups_->groupFileList(); }
    CheckListView* fileGroupList() const { return groups_->fileGroupList(); }
    CheckListView* activeList() const { return activeList_; }
    QLabel* statusPane(int pane) const { return panes_->pane(pane); }
    QAction* command(int id) const;
    QMenu* contextMenuOf(const CheckListView* list) const;
    QMenu* trayMenu() const { return tray_ != nullptr ? tray_->menu() : nullptr; }
    QSystemTrayIcon* trayIcon() const { return tray_ != nullptr ? tray_->icon() : nullptr; }
    QToolBar* toolBar() const { return toolBar_; }
    bool timerRunning() const { return timer_.isActive(); }
    bool nodeViewShown() const { return nodeViewShown_ != 0; }
    int currentChannel() const { return nodes_->currentChannel(); }
    bool channelOpen(int channel) const { return nodes_->channelOpen(channel); }
    int selectedRow(int channel) const { return nodes_->selectedRow(channel); }
    // True once a close request was honoured (timer stopped, centre destroyed).
    bool shutDown() const { return shutDown_; }

    // One tick of the status timer (also run by the timer every 100 ms).
    void StatusTick();

    // The file dialogs' filter: the three design types in both letter cases, and "All File" as
    // "*", so that a name without a dot shows too.
    static QString FileDialogFilter() { return GroupPanel::FileDialogFilter(); }

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
    void onSwitchChannel();
    void onSendFile();
    // --- Operation
    void onSelectAll();
    void onSelectPart();
    void onSelectOther();
    void onCancelAll();
    void onDelete();
    void onViewFile();
    // --- Help
    void onEditionInformation();
    void onHowToUse();
    // --- Tray
    void onTrayExitSystem();

private:
    QAction* makeCommand(int id, const QString& text);
    template <class Receiver, class Slot>
    QAction* makeCommand(int id, const QString& text, Receiver* receiver, Slot slot);
    void createCommands();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createHalves();
    void createTray();
    void openChannels();
    // Serves the station's HTTP API when Para.ini names an address ([API] Listen); a server that
    // cannot listen is reported on stderr and the station runs without it.
    void startApi();
    // The selection entries, on the active list (the node list when the active list is empty).
    void applyCheckOp(CheckListView::CheckOp op);
    bool mayClose() const;
    // With a file operation of the library still running, asks whether to close when it is
    // done, to stop it and close, or to keep the window open; true to close now.
    bool libraryMayClose();
    void tearDown();
    void restoreFromTray();

    const Edition edition_;

    // The window's own state.
    int nodeViewShown_ = 1;
    int openResult_ = 0; // the centre's open result (bit 0: channel 1, bit 1: channel 2)
    int lostLines_ = 0;  // the lines pane 0 shows as lost, as LostLines gives them
    bool shutDown_ = false;

    // Widgets.
    NodePanel* nodes_ = nullptr;
    GroupPanel* groups_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::unique_ptr<StatusPanes> panes_;
    QStackedWidget* upper_ = nullptr;
    QWidget* libraryPage_ = nullptr;
    QPointer<QWidget> libraryView_;
    QSplitter* halves_ = nullptr;
    CheckListView* activeList_ = nullptr;
    StationTray* tray_ = nullptr;
    QTimer timer_;
    // Its threads read the core only, never a widget; stopped before the centre goes.
    std::unique_ptr<api::ApiServer> api_;
};
