#include "gui/app/TransferDlg.h"

#include "api/ApiServer.h"
#include "api/ApiSettings.h"
#include "gui/app/CommandIds.h"
#include "gui/app/StationPrompts.h"
#include "gui/app/StationTray.h"
#include "gui/app/StatusPanes.h"
#include "gui/browser/LibraryOperations.h"
#include "gui/browser/LibraryView.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/LogOnDialog.h"
#include "gui/dialogs/MachineTableDialog.h"
#include "gui/dialogs/ModifyPasswordDialog.h"
#include "gui/dialogs/ParameterDialog.h"
#include "gui/dialogs/SoftNoteDialog.h"
#include "gui/dialogs/UserManagementDialog.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/Prompter.h"
#include "gui/kit/StationIcons.h"
#include "station/Centre.h"
#include "station/StationTexts.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <iostream>

namespace {

// The toolbar's text of a menu entry: its text without the "(&X)" mnemonic.
QString buttonText(QString text) {
    const int at = text.indexOf(QLatin1String("(&"));
    if (at > 0 && text.endsWith(QLatin1Char(')')))
        text.truncate(at);
    return text;
}

QString openTimeNow(const QString& prefix) {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%s%04d/%02d/%02d  %02d:%02d:%02d ", prefix.toUtf8().constData(),
                             d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

} // namespace

CTransferDlg::CTransferDlg(const Edition& edition, QWidget* parent)
    : QMainWindow(parent), edition_(edition) {
    setObjectName("CTransferDlg");
    setWindowTitle(tr("Quorvelle Network Transfer System"));
    setWindowIcon(StationIcon());

    nodes_ = new NodePanel(edition_);
    groups_ = new GroupPanel(edition_);
    createCommands();
    createMenus();
    createToolBar();
    createStatusBar();
    createHalves();

    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &CTransferDlg::StatusTick);
}

CTransferDlg::~CTransferDlg() {
    timer_.stop();
}

// ---------------------------------------------------------------------------------------------
// Commands, menus, toolbar

QAction* CTransferDlg::makeCommand(int id, const QString& text) {
    auto* a = new QAction(text, this);
    a->setObjectName(commandName(id));
    a->setIconText(buttonText(text));
    return a;
}

template <class Receiver, class Slot>
QAction* CTransferDlg::makeCommand(int id, const QString& text, Receiver* receiver, Slot slot) {
    QAction* a = makeCommand(id, text);
    connect(a, &QAction::triggered, receiver, slot);
    return a;
}

QAction* CTransferDlg::command(int id) const {
    return findChild<QAction*>(commandName(id));
}

void CTransferDlg::createCommands() {
    // System
    makeCommand(kTransferParameter, tr("Transfer Parameter(&T)"), this,
                &CTransferDlg::onTransferParameter);
    makeCommand(kMachineInformation, tr("Machine Information(&M)"), this,
                &CTransferDlg::onMachineInformation);
    makeCommand(kFilePath, tr("File Path(&P)"), this, &CTransferDlg::onFilePath);
    makeCommand(kUserManagement, tr("User Management(&U)"), this, &CTransferDlg::onUserManagement);
    makeCommand(kModifyPassword, tr("Modify Password(&C)"), this, &CTransferDlg::onModifyPassword);
    makeCommand(kLogOnOut, tr("Log On/Out(&L)"), this, &CTransferDlg::onLogOnOut);
    makeCommand(kSoftNote, tr("Soft Note(&N)"), this, &CTransferDlg::onSoftNote);
    makeCommand(kExitSystem, tr("Exit System(&X)"), this, &CTransferDlg::onExitSystem);
    // Transfer
    makeCommand(kSelectFile, tr("Select File(&F)"), groups_, &GroupPanel::selectFile);
    makeCommand(kSwitchChannel, tr("Switch Channel(&N)"), this, &CTransferDlg::onSwitchChannel);
    makeCommand(kSendFile, tr("Send File(&S)"), this, &CTransferDlg::onSendFile);
    makeCommand(kDeleteFile, tr("Delete File(&D)"), nodes_, &NodePanel::deleteFile);
    makeCommand(kClearFile, tr("Clear File(&E)"), nodes_, &NodePanel::clearFile);
    makeCommand(kQueryNode, tr("Query Node(&Q)"), nodes_, &NodePanel::queryNode);
    makeCommand(kCancelTask, tr("Cancel Task(&C)"), nodes_, &NodePanel::cancelTask);
    // Operation
    makeCommand(kSelectAll, tr("Select All(&A)"), this, &CTransferDlg::onSelectAll);
    makeCommand(kSelectPart, tr("Select Part(&P)"), this, &CTransferDlg::onSelectPart);
    makeCommand(kSelectOther, tr("Select Other(&I)"), this, &CTransferDlg::onSelectOther);
    makeCommand(kCancelAll, tr("Cancel All(&C)"), this, &CTransferDlg::onCancelAll);
    makeCommand(kAdd, tr("Add"), groups_, &GroupPanel::add);
    makeCommand(kDelete, tr("Delete"), this, &CTransferDlg::onDelete);
    QAction* view = makeCommand(kViewFile, tr("View File(&V)"), this, &CTransferDlg::onViewFile);
    view->setCheckable(true); // pressed while the file library is shown
    // Help
    makeCommand(kEditionInformation, tr("Edition Information(&I)"), this,
                &CTransferDlg::onEditionInformation);
    makeCommand(kHowToUse, tr("How to Use(&U)"), this, &CTransferDlg::onHowToUse);

    // Toolbar tooltips, as the string table has them.
    const struct {
        int id;
        const char* tip;
    } tips[] = {
        {kViewFile, QT_TR_NOOP("View File")},
        {kSwitchChannel, QT_TR_NOOP("Switch Chinnal")},
        {kQueryNode, QT_TR_NOOP("Query Node")},
        {kSendFile, QT_TR_NOOP("Send File")},
        {kDeleteFile, QT_TR_NOOP("Delete File")},
        {kClearFile, QT_TR_NOOP("Clear File")},
        {kCancelTask, QT_TR_NOOP("Cancel Task")},
        {kSelectPart, QT_TR_NOOP("Select Part/n Select Part")},
        {kCancelAll, QT_TR_NOOP("Cancel Select All")},
        {kAdd, QT_TR_NOOP("Add Select File")},
        {kDelete, QT_TR_NOOP("Delete")},
        {kLogOnOut, QT_TR_NOOP("Log On/Out ")},
        {kEditionInformation, QT_TR_NOOP("Version Information")},
        {kExitSystem, QT_TR_NOOP("Exit")},
    };
    for (const auto& t : tips)
        command(t.id)->setToolTip(tr(t.tip));

    // Toolbar pictures: the style's standard icons, which follow the desktop's theme.
    const struct {
        int id;
        QStyle::StandardPixmap icon;
    } icons[] = {
        {kViewFile, QStyle::SP_DirOpenIcon},
        {kSwitchChannel, QStyle::SP_BrowserReload},
        {kQueryNode, QStyle::SP_FileDialogContentsView},
        {kSendFile, QStyle::SP_ArrowForward},
        {kDeleteFile, QStyle::SP_TrashIcon},
        {kClearFile, QStyle::SP_DialogResetButton},
        {kCancelTask, QStyle::SP_BrowserStop},
        {kSelectPart, QStyle::SP_DialogApplyButton},
        {kCancelAll, QStyle::SP_DialogCancelButton},
        {kAdd, QStyle::SP_FileDialogNewFolder},
        {kDelete, QStyle::SP_DialogDiscardButton},
        {kLogOnOut, QStyle::SP_DialogOpenButton},
        {kEditionInformation, QStyle::SP_MessageBoxInformation},
        {kExitSystem, QStyle::SP_DialogCloseButton},
    };
    for (const auto& i : icons)
        command(i.id)->setIcon(style()->standardIcon(i.icon));
}

void CTransferDlg::createMenus() {
    QMenu* system = menuBar()->addMenu(tr("&System"));
    system->addAction(command(kTransferParameter));
    system->addAction(command(kMachineInformation));
    system->addAction(command(kFilePath));
    system->addSeparator();
    system->addAction(command(kUserManagement));
    system->addAction(command(kModifyPassword));
    system->addAction(command(kLogOnOut));
    system->addSeparator();
    system->addAction(command(kSoftNote));
    system->addSeparator();
    system->addAction(command(kExitSystem));

    QMenu* transfer = menuBar()->addMenu(tr("&Transfer"));
    transfer->addAction(command(kSelectFile));
    transfer->addAction(command(kSwitchChannel));
    transfer->addSeparator();
    transfer->addAction(command(kSendFile));
    transfer->addAction(command(kDeleteFile));
    transfer->addAction(command(kClearFile));
    transfer->addAction(command(kQueryNode));
    transfer->addSeparator();
    transfer->addAction(command(kCancelTask));

    QMenu* operation = menuBar()->addMenu(tr("&Operation"));
    operation->addAction(command(kSelectAll));
    operation->addAction(command(kSelectPart));
    operation->addAction(command(kSelectOther));
    operation->addAction(command(kCancelAll));
    operation->addSeparator();
    operation->addAction(command(kAdd));
    operation->addAction(command(kDelete));
    operation->addSeparator();
    operation->addAction(command(kViewFile));

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(command(kEditionInformation));
    help->addAction(command(kHowToUse));
}

void CTransferDlg::createToolBar() {
    toolBar_ = addToolBar(tr("Toolbar"));
    toolBar_->setObjectName("toolBar");
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    const int order[] = {
        kViewFile,  kSwitchChannel, 0, kQueryNode,  kSendFile,           kDeleteFile,
        kClearFile, kCancelTask,    0, kSelectPart, kCancelAll,          0,
        kAdd,       kDelete,        0, kLogOnOut,   kEditionInformation, kExitSystem};
    for (int id : order) {
        if (id == 0)
            toolBar_->addSeparator();
        else
            toolBar_->addAction(command(id));
    }
}

void CTransferDlg::createStatusBar() {
    panes_ = std::make_unique<StatusPanes>(statusBar());
    panes_->showOpenTime(openTimeNow(tr("System Open Time:")));
    panes_->showUser(QString::fromStdString(currentUserText()));
}

void CTransferDlg::createHalves() {
    const auto activate = [this](CheckListView* list) { activeList_ = list; };
    connect(nodes_, &NodePanel::listActivated, this, activate);
    connect(groups_, &GroupPanel::listActivated, this, activate);
    connect(nodes_, &NodePanel::sendRequested, this, &CTransferDlg::onSendFile);
    connect(nodes_, &NodePanel::addFromLibraryRequested, this,
            [this] { groups_->addFromLibrary(nodes_->checkedNodeFileFields()); });

    libraryPage_ = new QWidget;
    libraryPage_->setObjectName("libraryPage");
    auto* libraryLayout = new QVBoxLayout(libraryPage_);
    libraryLayout->setContentsMargins(0, 0, 0, 0);

    // Upper half: the nodes, or the file library.
    upper_ = new QStackedWidget;
    upper_->setObjectName("upperHalf");
    upper_->addWidget(nodes_);
    upper_->addWidget(libraryPage_);
    upper_->setCurrentIndex(0);

    // The halves keep the window's first proportion (upper 303 to lower 77) as it grows.
    halves_ = new QSplitter(Qt::Vertical);
    halves_->setObjectName("halves");
    halves_->addWidget(upper_);
    halves_->addWidget(groups_);
    halves_->setStretchFactor(0, 4);
    halves_->setStretchFactor(1, 1);
    halves_->setChildrenCollapsible(false);
    halves_->setSizes({303 * 2, 77 * 2 + 40});
    setCentralWidget(halves_);

    setTabOrder(nodeFileList(), groupFileList());
    // The node-file list takes the focus first, so it starts as the active list. It is empty until
    // a node is chosen, and on an empty active list Select All and Cancel All act on the nodes
    // (applyCheckOp), so those two reach the nodes from the start all the same.
    activeList_ = nodeFileList();
    nodeFileList()->setFocus();
    // Restored, the window is wide enough for the lists' columns and the whole toolbar.
    const int listsWidth =
        nodeList()->contentsWidthHint() + nodeFileList()->contentsWidthHint() + 24;
    resize(std::max(listsWidth, toolBar_->sizeHint().width() + 8), 720);
}

QMenu* CTransferDlg::contextMenuOf(const CheckListView* list) const {
    if (QMenu* menu = nodes_->contextMenuOf(list))
        return menu;
    return groups_->contextMenuOf(list);
}

// ---------------------------------------------------------------------------------------------
// Tray

void CTransferDlg::createTray() {
    tray_ = new StationTray(this);
    connect(tray_, &StationTray::exitRequested, this, &CTransferDlg::onTrayExitSystem);
    connect(tray_, &StationTray::restoreRequested, this, &CTransferDlg::restoreFromTray);
}

void CTransferDlg::restoreFromTray() {
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CTransferDlg::onTrayExitSystem() {
    // Closing under a running dialog would free what the dialog works on.
    if (prompterBusy() || QApplication::activeModalWidget() != nullptr)
        return;
    close();
}

// ---------------------------------------------------------------------------------------------
// Start-up

void CTransferDlg::Initialise(std::unique_ptr<QWidget> loading) {
    createTray();
    openChannels();
    startApi();
    if (libraryView_ == nullptr) {
        // The library opens at the folder File Path chose, when it exists.
        auto* library = new LibraryView;
        library->startAt(QString::fromStdString(Params().filePath));
        setLibraryView(library);
    }
    showMaximized();
    loading.reset();
    timer_.start();
}

void CTransferDlg::openChannels() {
    openResult_ = StartCentreFromParameters();
    lostLines_ = 0;
    panes_->showChannels(openResult_, lostLines_);
    nodes_->readNodeTables();
    nodes_->showChannel((nodes_->channelOpen(0) || !nodes_->channelOpen(1)) ? 0 : 1);
    panes_->showChannel(currentChannel());
}

void CTransferDlg::startApi() {
    const ApiSettings settings = LoadApiSettings();
    if (settings.listen.empty())
        return;
    auto server = std::make_unique<api::ApiServer>();
    std::string error;
    if (!server->Start(settings, &error)) {
        std::cerr << "talvorn: the station's HTTP API does not run: " << error << '\n';
        return;
    }
    std::cerr << "talvorn: serving the station's HTTP API on " << server->Url() << '\n';
    api_ = std::move(server);
}

void CTransferDlg::StatusTick() {
    // A lost line, on either channel, is told in the first pane for as long as it lasts.
    if (const int lost = LostLines(openResult_); lost != lostLines_) {
        lostLines_ = lost;
        panes_->showChannels(openResult_, lostLines_);
    }
    nodes_->tick();
}

void CTransferDlg::ToggleView() {
    nodeViewShown_ = nodeViewShown_ != 0 ? 0 : 1;
    upper_->setCurrentIndex(nodeViewShown_ != 0 ? 0 : 1);
    command(kViewFile)->setChecked(nodeViewShown_ == 0);
}

void CTransferDlg::setLibraryView(QWidget* view) {
    if (libraryView_ != nullptr)
        delete libraryView_;
    libraryView_ = view;
    if (view != nullptr)
        libraryPage_->layout()->addWidget(view);
}

void CTransferDlg::applyCheckOp(CheckListView::CheckOp op) {
    CheckListView* list = activeList_ != nullptr ? activeList_ : nodeList();
    if (list->checkModel()->rowCount() == 0 &&
        (op == CheckListView::CheckOp::All || op == CheckListView::CheckOp::None)) {
        list = nodeList();
        activeList_ = list;
    }
    list->applyCheckOp(op);
}

// ---------------------------------------------------------------------------------------------
// Shutdown

bool CTransferDlg::mayClose() const {
    return hasRight(kRightCloseSystem);
}

void CTransferDlg::closeEvent(QCloseEvent* event) {
    if (shutDown_) {
        event->accept();
        return;
    }
    if (!mayClose()) {
        event->ignore(); // without "Close System" nothing happens
        return;
    }
    if (!libraryMayClose()) {
        event->ignore();
        return;
    }
    tearDown();
    event->accept();
    emit closed();
}

bool CTransferDlg::libraryMayClose() {
    auto* library = qobject_cast<LibraryView*>(libraryView_.data());
    if (library == nullptr || !library->operations()->busy())
        return true;
    // Closing stops the operation: the operator decides, and is never left believing that what
    // was still to be copied or moved got there.
    const int pick = prompter().choose(
        this, tr("Prompting"),
        tr("The file library is still copying, moving or deleting files. Closing now stops it, "
           "and what it has not done yet is not done."),
        {tr("Close When Done"), tr("Stop and Close"), tr("Keep Open")}, Prompter::Icon::Warning);
    if (pick == 1)
        return true; // the operation is cancelled, and waited for, as the view goes
    if (pick == 0)
        connect(
            library->operations(), &LibraryOperations::finished, this, [this] { close(); },
            Qt::SingleShotConnection);
    return false;
}

void CTransferDlg::tearDown() {
    timer_.stop();
    FreeFileGroups();
    setLibraryView(nullptr); // its file watching threads end with it
    if (tray_ != nullptr)
        tray_->remove();
    // Nothing reads the station through the API once it is stopped; then the centre's threads
    // stop and its ports close before the window goes.
    if (api_)
        api_->Stop();
    nodes_->dropNodeTables();
    StopCentre();
    shutDown_ = true;
}

// ---------------------------------------------------------------------------------------------
// Commands. Each checks its right first (a refused command does nothing and shows nothing), then
// the selections, asks where it must, and hands its request to the task layer without waiting for
// the machines: the node list shows the outcome through the status timer. The commands on the
// lists are the panels'; these are the window's own.

// --- System

void CTransferDlg::onTransferParameter() {
    if (!hasRight(kRightSetSystemParameter))
        return;
    // OK re-creates the centre: from here on nothing may read the old centre's node records, not
    // even a tick of the status timer while the dialog is open.
    timer_.stop();
    nodes_->dropNodeTables();
    int openResult = -1;
    const bool changed = RunParameterSetting(this, &openResult);
    nodes_->readNodeTables();
    if (changed && openResult >= 0 && openResult <= 3) {
        openResult_ = openResult;
        lostLines_ = 0;
        panes_->showChannels(openResult_, lostLines_);
        FillNodeList(currentChannel()); // the shown channel stays, even when it is now closed
    }
    if (!shutDown_)
        timer_.start();
}

void CTransferDlg::onMachineInformation() {
    if (RunMachineInformation(this))
        FillNodeList(currentChannel());
}

void CTransferDlg::onFilePath() {
    const QString chosen = prompter().folder(this, tr("Please Select File Group First!"),
                                             QString::fromStdString(Params().filePath));
    if (chosen.isEmpty())
        return;
    if (!SaveFilePath(QDir::cleanPath(chosen).toStdString()))
        StationMessage(this, tr("System Write Error!"), Prompter::Icon::Stop);
}

void CTransferDlg::onUserManagement() {
    RunUserManagement(this);
}

void CTransferDlg::onModifyPassword() {
    RunModifyPassword(this);
}

void CTransferDlg::onLogOnOut() {
    bool changed = false;
    if (CurrentUser.loggedOn != 0) {
        logOff();
        changed = true;
    }
    LogOnDialog dialog(this);
    if (prompter().exec(dialog) == QDialog::Accepted && dialog.accepted()) {
        logOn(dialog.result().userName, dialog.result().isAdmin);
        changed = true;
    }
    if (!changed)
        return; // nobody was logged on and nobody logged on
    panes_->showUser(QString::fromStdString(currentUserText()));
}

void CTransferDlg::onSoftNote() {
    RunSoftNote(this);
}

void CTransferDlg::onExitSystem() {
    close();
}

// --- Transfer

void CTransferDlg::onSwitchChannel() {
    if (!nodes_->switchChannel())
        return;
    panes_->showChannel(currentChannel());
    if (nodeViewShown_ == 0)
        onViewFile(); // back to the nodes, with View File's own right check
}

void CTransferDlg::onSendFile() {
    nodes_->sendFile(groups_->checkedGroups());
}

// --- Operation

void CTransferDlg::onSelectAll() {
    applyCheckOp(CheckListView::CheckOp::All);
}

void CTransferDlg::onSelectPart() {
    applyCheckOp(CheckListView::CheckOp::Selected);
}

void CTransferDlg::onSelectOther() {
    applyCheckOp(CheckListView::CheckOp::Unselected);
}

void CTransferDlg::onCancelAll() {
    applyCheckOp(CheckListView::CheckOp::None);
}

void CTransferDlg::onDelete() {
    if (activeList_ == groupFileList())
        groups_->deleteGroupFiles();
    else if (activeList_ == fileGroupList())
        groups_->deleteGroups();
}

void CTransferDlg::onViewFile() {
    if (hasRight(kRightSelectFile))
        ToggleView();
    // The button is checkable; without the right it keeps showing the view as it is.
    command(kViewFile)->setChecked(nodeViewShown_ == 0);
}

// --- Help

void CTransferDlg::onEditionInformation() {
    RunEditionInformation(this);
}

void CTransferDlg::onHowToUse() {
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(edition_.helpFile));
    if (!QFileInfo(path).isFile()) {
        StationMessage(this, tr("The help file %1 is missing.").arg(QDir::toNativeSeparators(path)),
                       Prompter::Icon::Warning);
        return;
    }
    if (!prompter().openUrl(QUrl::fromLocalFile(path)))
        StationMessage(this,
                       tr("Nothing on this computer could open the help file %1.")
                           .arg(QDir::toNativeSeparators(path)),
                       Prompter::Icon::Warning);
}
