#include "app/TransferDlg.h"

#include "browser/LibraryView.h"

#include "app/CheckListModel.h"
#include "app/CheckListView.h"
#include "app/Prompter.h"
#include "app/StationIcons.h"
#include "station/Centre.h"
#include "station/FileGroups.h"
#include "station/NodeLabels.h"
#include "station/NodeRows.h"
#include "station/StationTexts.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {

// Command ids of the menus, the toolbar, the context menus and the tray.
enum CommandId {
    kTransferParameter = 32785,
    kMachineInformation = 32784,
    kFilePath = 32833,
    kUserManagement = 32787,
    kModifyPassword = 32786,
    kLogOnOut = 32778,
    kSoftNote = 32779,
    kExitSystem = 57665,
    kSelectFile = 32781,
    kSwitchChannel = 32804,
    kSendFile = 32773,
    kDeleteFile = 32774,
    kClearFile = 32775,
    kQueryNode = 32820,
    kCancelTask = 32789,
    kSelectAll = 32805,
    kSelectPart = 32822,
    kSelectOther = 32827,
    kCancelAll = 32806,
    kAdd = 32807,
    kDelete = 32808,
    kViewFile = 32771,
    kEditionInformation = 57664,
    kHowToUse = 32788,
    kTrayExitSystem = 32803,
    // Context menus.
    kNodeListSendFile = 32809,
    kNodeListClearFile = 32811,
    kNodeListCancelTask = 32819,
    kNodeFileAddFile = 32834,
    kNodeFileDeleteFile = 32812,
    kGroupFileAdd = 32791,
    kGroupFileDelete = 32790,
    kFileGroupDelete = 32799,
};

// The four selection entries of each list's context menu: Select All, Select Part, Select Other,
// Cancel All.
constexpr int kNodeListChecks[4] = {32816, 32825, 32831, 32810};
constexpr int kNodeFileChecks[4] = {32817, 32826, 32832, 32818};
constexpr int kGroupFileChecks[4] = {32797, 32823, 32829, 32798};
constexpr int kFileGroupChecks[4] = {32814, 32824, 32830, 32815};

QString commandName(int id) {
    return QStringLiteral("cmd%1").arg(id);
}

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
    promptCaption_ = tr("Prompting");
    std::fill(&nodeRowOf_[0][0], &nodeRowOf_[0][0] + kChannels * kMaxNodes, -1);
    openTimeText_ = openTimeNow(tr("System Open Time:"));
    userText_ = QString::fromStdString(currentUserText());

    createCommands();
    createMenus();
    createToolBar();
    createStatusBar();
    createLists();
    createContextMenus();

    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &CTransferDlg::StatusTick);
}

CTransferDlg::~CTransferDlg() {
    timer_.stop();
    delete tray_;
}

// ---------------------------------------------------------------------------------------------
// Commands, menus, toolbar

QAction* CTransferDlg::makeCommand(int id, const QString& text, void (CTransferDlg::*slot)()) {
    auto* a = new QAction(text, this);
    a->setObjectName(commandName(id));
    a->setIconText(buttonText(text));
    connect(a, &QAction::triggered, this, slot);
    return a;
}

QAction* CTransferDlg::command(int id) const {
    return findChild<QAction*>(commandName(id));
}

void CTransferDlg::createCommands() {
    // System
    makeCommand(kTransferParameter, tr("Transfer Parameter(&T)"),
                &CTransferDlg::onTransferParameter);
    makeCommand(kMachineInformation, tr("Machine Information(&M)"),
                &CTransferDlg::onMachineInformation);
    makeCommand(kFilePath, tr("File Path(&P)"), &CTransferDlg::onFilePath);
    makeCommand(kUserManagement, tr("User Management(&U)"), &CTransferDlg::onUserManagement);
    makeCommand(kModifyPassword, tr("Modify Password(&C)"), &CTransferDlg::onModifyPassword);
    makeCommand(kLogOnOut, tr("Log On/Out(&L)"), &CTransferDlg::onLogOnOut);
    makeCommand(kSoftNote, tr("Soft Note(&N)"), &CTransferDlg::onSoftNote);
    makeCommand(kExitSystem, tr("Exit System(&X)"), &CTransferDlg::onExitSystem);
    // Transfer
    makeCommand(kSelectFile, tr("Select File(&F)"), &CTransferDlg::onSelectFile);
    makeCommand(kSwitchChannel, tr("Switch Channel(&N)"), &CTransferDlg::onSwitchChannel);
    makeCommand(kSendFile, tr("Send File(&S)"), &CTransferDlg::onSendFile);
    makeCommand(kDeleteFile, tr("Delete File(&D)"), &CTransferDlg::onDeleteFile);
    makeCommand(kClearFile, tr("Clear File(&E)"), &CTransferDlg::onClearFile);
    makeCommand(kQueryNode, tr("Query Node(&Q)"), &CTransferDlg::onQueryNode);
    makeCommand(kCancelTask, tr("Cancel Task(&C)"), &CTransferDlg::onCancelTask);
    // Operation
    makeCommand(kSelectAll, tr("Select All(&A)"), &CTransferDlg::onSelectAll);
    makeCommand(kSelectPart, tr("Select Part(&P)"), &CTransferDlg::onSelectPart);
    makeCommand(kSelectOther, tr("Select Other(&I)"), &CTransferDlg::onSelectOther);
    makeCommand(kCancelAll, tr("Cancel All(&C)"), &CTransferDlg::onCancelAll);
    makeCommand(kAdd, tr("Add"), &CTransferDlg::onAdd);
    makeCommand(kDelete, tr("Delete"), &CTransferDlg::onDelete);
    QAction* view = makeCommand(kViewFile, tr("View File(&V)"), &CTransferDlg::onViewFile);
    view->setCheckable(true); // pressed while the file library is shown
    // Help
    makeCommand(kEditionInformation, tr("Edition Information(&I)"),
                &CTransferDlg::onEditionInformation);
    makeCommand(kHowToUse, tr("How to Use(&U)"), &CTransferDlg::onHowToUse);

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
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 4; ++i) {
        panes_[i] = new QLabel(bar);
        panes_[i]->setObjectName(QStringLiteral("pane%1").arg(i));
        panes_[i]->setFrameShape(QFrame::Panel);
        panes_[i]->setFrameShadow(QFrame::Sunken);
        panes_[i]->setContentsMargins(4, 0, 4, 0);
    }
    panes_[0]->setMinimumWidth(
        fontMetrics().horizontalAdvance(tr("Channel One Success, Channel Two Error")) + 16);
    panes_[1]->setFixedWidth(320);
    panes_[2]->setMinimumWidth(25);
    panes_[3]->setFixedWidth(80);
    bar->addPermanentWidget(panes_[0], 0);
    bar->addPermanentWidget(panes_[1], 0);
    bar->addPermanentWidget(panes_[2], 1);
    bar->addPermanentWidget(panes_[3], 0);
    panes_[1]->setText(openTimeText_);
    panes_[2]->setText(userText_);
    panes_[3]->setText(QString());
}

void CTransferDlg::createLists() {
    const auto cols = [](std::initializer_list<const char*> titles, const auto& widths,
                         int leftAligned) {
        QVector<CheckListModel::Column> out;
        int i = 0;
        for (const char* t : titles) {
            out.push_back({tr(t), widths[static_cast<size_t>(i)], i != leftAligned});
            ++i;
        }
        return out;
    };
    nodeModel_ = new CheckListModel(
        cols({QT_TR_NOOP("Node"), QT_TR_NOOP("Channel"), QT_TR_NOOP("Machine"),
              QT_TR_NOOP("Task Num"), QT_TR_NOOP("Current Task"), QT_TR_NOOP("Rate"),
              QT_TR_NOOP("File Num"), QT_TR_NOOP("Space Room"), QT_TR_NOOP("Transfer Information")},
             edition_.nodeListWidths, 8),
        this);
    nodeFileModel_ =
        new CheckListModel(cols({QT_TR_NOOP("No."), QT_TR_NOOP("FileName"), QT_TR_NOOP("Size")},
                                edition_.nodeFileWidths, -1),
                           this);
    groupFileModel_ =
        new CheckListModel(cols({QT_TR_NOOP("No."), QT_TR_NOOP("Type"), QT_TR_NOOP("FileName"),
                                 QT_TR_NOOP("Size"), QT_TR_NOOP("Path")},
                                edition_.groupFileWidths, 4),
                           this);
    fileGroupModel_ = new CheckListModel(
        cols({QT_TR_NOOP("Type"), QT_TR_NOOP("File Num"), QT_TR_NOOP("Sum Size")},
             edition_.fileGroupWidths, -1),
        this);

    nodeList_ = new CheckListView(tr("Nodes"));
    nodeList_->setObjectName("nodeList");
    nodeFiles_ = new CheckListView(tr("Node Files"));
    nodeFiles_->setObjectName("nodeFileList");
    groupFiles_ = new CheckListView(tr("Group Files"));
    groupFiles_->setObjectName("groupFileList");
    groupFiles_->setAcceptFileDrops(true);
    fileGroups_ = new CheckListView(tr("File Groups"));
    fileGroups_->setObjectName("fileGroupList");

    const ListColors colors = ListColorsFromParameters();
    const std::pair<CheckListView*, CheckListModel*> lists[] = {{nodeList_, nodeModel_},
                                                                {nodeFiles_, nodeFileModel_},
                                                                {groupFiles_, groupFileModel_},
                                                                {fileGroups_, fileGroupModel_}};
    for (const auto& [view, model] : lists) {
        model->setColors(colors);
        view->setCheckModel(model);
        QPalette pal = view->palette();
        pal.setColor(QPalette::Base, colors.background);
        pal.setColor(QPalette::Text, colors.text);
        view->setPalette(pal);
        connect(view, &CheckListView::focusEntered, this, [this, v = view] { activeList_ = v; });
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, v = view](const QPoint& pos) { showContextMenu(v, pos); });
    }
    nodeList_->setIconSize(QSize(16, 16));
    // The first column holds a check box (and in the node list an image) before its text.
    nodeList_->fitFirstColumn(QStringLiteral("0000"), true);
    nodeFiles_->fitFirstColumn(QStringLiteral("000"), false);
    groupFiles_->fitFirstColumn(QStringLiteral("000"), false);
    fileGroups_->fitFirstColumn(QStringLiteral("000"), false);

    // Selection tracking: a click on a node shows its files, a click on a group its files. The
    // current row also follows the keyboard, so the arrow keys do the same.
    connect(nodeList_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { onNodeRowChosen(i.row()); });
    connect(nodeList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& i) {
                if (i.isValid())
                    onNodeRowChosen(i.row());
            });
    connect(fileGroups_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { onGroupRowChosen(i.row()); });
    connect(fileGroups_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& i) {
                if (i.isValid())
                    onGroupRowChosen(i.row());
            });
    connect(groupFiles_, &CheckListView::filesDropped, this, &CTransferDlg::onDropFiles);

    // Upper half: node list (stretches) and node files (keeps its width), or the file library.
    nodeSplit_ = new QSplitter(Qt::Horizontal);
    nodeSplit_->setObjectName("nodeSplit");
    nodeSplit_->addWidget(nodeList_);
    nodeSplit_->addWidget(nodeFiles_);
    nodeSplit_->setStretchFactor(0, 1);
    nodeSplit_->setStretchFactor(1, 0);
    nodeSplit_->setChildrenCollapsible(false);
    nodeSplit_->setSizes({nodeList_->contentsWidthHint(), nodeFiles_->contentsWidthHint()});

    libraryPage_ = new QWidget;
    libraryPage_->setObjectName("libraryPage");
    auto* libraryLayout = new QVBoxLayout(libraryPage_);
    libraryLayout->setContentsMargins(0, 0, 0, 0);

    upper_ = new QStackedWidget;
    upper_->setObjectName("upperHalf");
    upper_->addWidget(nodeSplit_);
    upper_->addWidget(libraryPage_);
    upper_->setCurrentIndex(0);

    // Lower half: group files (stretch) and file groups (keep their width).
    groupSplit_ = new QSplitter(Qt::Horizontal);
    groupSplit_->setObjectName("groupSplit");
    groupSplit_->addWidget(groupFiles_);
    groupSplit_->addWidget(fileGroups_);
    groupSplit_->setStretchFactor(0, 1);
    groupSplit_->setStretchFactor(1, 0);
    groupSplit_->setChildrenCollapsible(false);
    groupSplit_->setSizes({groupFiles_->contentsWidthHint(), fileGroups_->contentsWidthHint()});

    // The halves keep the window's first proportion (upper 303 to lower 77) as it grows.
    halves_ = new QSplitter(Qt::Vertical);
    halves_->setObjectName("halves");
    halves_->addWidget(upper_);
    halves_->addWidget(groupSplit_);
    halves_->setStretchFactor(0, 4);
    halves_->setStretchFactor(1, 1);
    halves_->setChildrenCollapsible(false);
    halves_->setSizes({303 * 2, 77 * 2 + 40});
    setCentralWidget(halves_);

    setTabOrder(nodeList_, nodeFiles_);
    setTabOrder(nodeFiles_, groupFiles_);
    setTabOrder(groupFiles_, fileGroups_);
    // The node list takes the focus first, so it starts as the active list: the selection
    // commands act on the nodes until the operator goes to another list.
    activeList_ = nodeList_;
    nodeList_->setFocus();
    // Restored, the window is wide enough for the lists' columns and the whole toolbar.
    const int listsWidth = nodeList_->contentsWidthHint() + nodeFiles_->contentsWidthHint() + 24;
    resize(std::max(listsWidth, toolBar_->sizeHint().width() + 8), 720);
}

void CTransferDlg::createContextMenus() {
    const auto checks = [this](QMenu* menu, const int ids[4]) {
        const char* texts[4] = {QT_TR_NOOP("Select All"), QT_TR_NOOP("Select Part"),
                                QT_TR_NOOP("Select Other"), QT_TR_NOOP("Cancel All")};
        void (CTransferDlg::*handlers[4])() = {
            &CTransferDlg::onSelectAll, &CTransferDlg::onSelectPart, &CTransferDlg::onSelectOther,
            &CTransferDlg::onCancelAll};
        for (int i = 0; i < 4; ++i) {
            // The context menu's entries do nothing when its list has no rows.
            QAction* a = new QAction(tr(texts[i]), menu);
            a->setObjectName(commandName(ids[i]));
            connect(a, &QAction::triggered, this, [this, slot = handlers[i]] {
                if (menuList_ != nullptr && menuList_->checkModel()->rowCount() == 0)
                    return;
                (this->*slot)();
            });
            menu->addAction(a);
        }
        menu->addSeparator();
    };
    const auto entry = [this](QMenu* menu, int id, const QString& text,
                              void (CTransferDlg::*slot)()) {
        QAction* a = new QAction(text, menu);
        a->setObjectName(commandName(id));
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
    };

    nodeListMenu_ = new QMenu(tr("Transfer"), this);
    nodeListMenu_->setObjectName("nodeListMenu");
    checks(nodeListMenu_, kNodeListChecks);
    entry(nodeListMenu_, kNodeListSendFile, tr("Send File"), &CTransferDlg::onSendFile);
    entry(nodeListMenu_, kNodeListClearFile, tr("Clear File"), &CTransferDlg::onClearFile);
    entry(nodeListMenu_, kNodeListCancelTask, tr("Cancel Task"), &CTransferDlg::onCancelTask);

    nodeFileMenu_ = new QMenu(tr("FileList"), this);
    nodeFileMenu_->setObjectName("nodeFileMenu");
    checks(nodeFileMenu_, kNodeFileChecks);
    entry(nodeFileMenu_, kNodeFileAddFile, tr("Add File"),
          &CTransferDlg::onAddNodeFilesFromLibrary);
    entry(nodeFileMenu_, kNodeFileDeleteFile, tr("Delete File"), &CTransferDlg::onDeleteFile);

    groupFileMenu_ = new QMenu(tr("FileGroup"), this);
    groupFileMenu_->setObjectName("groupFileMenu");
    checks(groupFileMenu_, kGroupFileChecks);
    entry(groupFileMenu_, kGroupFileAdd, tr("Add"), &CTransferDlg::onAdd);
    entry(groupFileMenu_, kGroupFileDelete, tr("Delete"), &CTransferDlg::onDeleteGroupFiles);

    fileGroupMenu_ = new QMenu(tr("FilesGroup"), this);
    fileGroupMenu_->setObjectName("fileGroupMenu");
    checks(fileGroupMenu_, kFileGroupChecks);
    entry(fileGroupMenu_, kFileGroupDelete, tr("Delete"), &CTransferDlg::onDeleteGroups);
}

QMenu* CTransferDlg::contextMenuOf(const CheckListView* list) const {
    if (list == nodeList_)
        return nodeListMenu_;
    if (list == nodeFiles_)
        return nodeFileMenu_;
    if (list == groupFiles_)
        return groupFileMenu_;
    if (list == fileGroups_)
        return fileGroupMenu_;
    return nullptr;
}

void CTransferDlg::showContextMenu(CheckListView* list, const QPoint& pos) {
    QMenu* menu = contextMenuOf(list);
    if (menu == nullptr)
        return;
    activeList_ = list;
    menuList_ = list;
    if (list == nodeList_) {
        // A right click chooses the node too, without refreshing its files.
        const QModelIndex i = list->indexAt(pos);
        if (i.isValid())
            selectedRow_[currentChannel_] = i.row();
    }
    PrompterBusyScope busy; // the tray's Exit System waits while a menu is open
    menu->exec(list->viewport()->mapToGlobal(pos));
    menuList_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Tray

void CTransferDlg::createTray() {
    // The tray's menu and its entry exist in any case, so the command is the same with or
    // without a notification area.
    trayMenu_ = new QMenu(tr("Task Bar"), this);
    trayMenu_->setObjectName("trayMenu");
    QAction* exit = new QAction(tr("Exit System"), trayMenu_);
    exit->setObjectName(commandName(kTrayExitSystem));
    connect(exit, &QAction::triggered, this, &CTransferDlg::onTrayExitSystem);
    trayMenu_->addAction(exit);

    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return; // no notification area: the program runs without the tray, silently
    tray_ = new QSystemTrayIcon(StationIcon(), this);
    tray_->setToolTip(tr("Quorvelle Network Transfer System"));
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    restoreFromTray();
            });
    tray_->show();
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
    const SystemParameters& p = Params();
    const int result = StartCentreFromParameters();
    panes_[0]->setText(QString::fromStdString(StationText(ChannelResultTextId(result))));

    for (int c = 0; c < kChannels; ++c) {
        NodeRecord* table = CCommCenter::NodeTable(c);
        channelOpen_[c] = table != nullptr ? 1 : 0;
        for (int j = 0; j < kMaxNodes; ++j)
            nodeRecords_[c][j] = (table != nullptr && j < p.comSum[c]) ? &table[j] : nullptr;
    }
    currentChannel_ = (channelOpen_[0] != 0 || channelOpen_[1] == 0) ? 0 : 1;
    panes_[3]->setText(tr("Channel") + QString::number(currentChannel_ + 1));
    FillNodeList(currentChannel_);
}

// ---------------------------------------------------------------------------------------------
// Lists

void CTransferDlg::FillNodeList(int channel) {
    if (channel < 0 || channel >= kChannels)
        return;
    QVector<QStringList> rows;
    QVector<QIcon> images;
    rowNode_[channel].clear();
    std::fill(std::begin(nodeRowOf_[channel]), std::end(nodeRowOf_[channel]), -1);
    if (channelOpen_[channel] != 0) {
        const bool lost = ChannelLineLost(channel);
        for (int j = 0; j < kMaxNodes; ++j) {
            const NodeRecord* n = nodeRecords_[channel][j];
            if (n == nullptr)
                continue;
            const NodeRowFill fill =
                FillNodeRow(nodeRows_[channel][j], channel, j, TakeNodeSnapshot(*n, lost));
            if (!fill.shown)
                continue; // a hidden machine gets no row
            QStringList cells;
            for (const std::string& t : fill.texts)
                cells << QString::fromStdString(t);
            nodeRowOf_[channel][j] = static_cast<int>(rows.size());
            rowNode_[channel].push_back(j);
            rows.push_back(cells);
            images.push_back(NodeListImage(fill.image));
        }
    }
    nodeModel_->setRows(rows, images);
}

NodeRecord* CTransferDlg::nodeOfRow(int channel, int row) const {
    if (channel < 0 || channel >= kChannels || row < 0 || row >= rowNode_[channel].size())
        return nullptr;
    return nodeRecords_[channel][rowNode_[channel][row]];
}

void CTransferDlg::ShowNodeFiles(int channel) {
    nodeFileRows_.clear();
    if (const NodeRecord* node = nodeOfRow(channel, selectedRow_[channel & 1]))
        nodeFileRows_ = NodeFileRows(*node);
    QVector<QStringList> rows;
    rows.reserve(static_cast<int>(nodeFileRows_.size()));
    for (const NodeFileRow& r : nodeFileRows_)
        rows.push_back({QString::fromStdString(r.noText), QString::fromStdString(r.name),
                        QString::fromStdString(r.sizeText)});
    nodeFileModel_->setRows(rows);
}

void CTransferDlg::ShowGroup(int group, bool withGroupList) {
    const auto q = [](const std::string& t) { return QString::fromStdString(t); };
    QVector<QStringList> files;
    for (const GroupFileRow& r : GroupFileRows(group))
        files.push_back({q(r.no), q(r.type), q(r.name), q(r.size), q(r.path)});
    groupFileModel_->setRows(files);
    if (!withGroupList)
        return;
    QVector<QStringList> list;
    for (const GroupRow& r : GroupRows())
        list.push_back({q(r.type), q(r.fileCount), q(r.totalBytes)});
    fileGroupModel_->setRows(list);
}

int CTransferDlg::shownGroup() const {
    bool ok = false;
    const int number = groupFileModel_->cell(0, 1).toInt(&ok);
    return ok && number >= 1 ? number - 1 : -1;
}

void CTransferDlg::onNodeRowChosen(int row) {
    if (row < 0 || row >= nodeModel_->rowCount())
        return;
    selectedRow_[currentChannel_] = row;
    ShowNodeFiles(currentChannel_);
}

void CTransferDlg::onGroupRowChosen(int row) {
    bool ok = false;
    const int number = fileGroupModel_->cell(row, 0).toInt(&ok);
    if (ok && number >= 1)
        ShowGroup(number - 1, false);
}

void CTransferDlg::StatusTick() {
    const int c = currentChannel_;
    if (channelOpen_[c] == 0)
        return;
    const bool lost = ChannelLineLost(c);
    const int selectedRow = selectedRow_[c];
    const int selectedNode =
        selectedRow >= 0 && selectedRow < rowNode_[c].size() ? rowNode_[c][selectedRow] : -1;
    bool refreshFiles = false;
    for (int i = 0; i < kMaxNodes; ++i) {
        const NodeRecord* n = nodeRecords_[c][i];
        if (n == nullptr)
            continue;
        const NodeRowChange change =
            TickNodeRow(nodeRows_[c][i], TakeNodeSnapshot(*n, lost), i == selectedNode);
        if (!change.looked)
            continue;
        const int row = nodeRowOf_[c][i];
        if (row < 0)
            continue; // a hidden machine: nothing to show
        if (change.image >= 0)
            nodeModel_->setImage(row, NodeListImage(change.image));
        for (const auto& [column, text] : change.cells)
            nodeModel_->setCell(row, column, QString::fromStdString(text));
        refreshFiles = refreshFiles || change.refreshFiles;
    }
    if (refreshFiles)
        ShowNodeFiles(c);
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

void CTransferDlg::applyCheckOp(CheckOp op) {
    CheckListView* list = activeList_ != nullptr ? activeList_ : nodeList_;
    if (list->checkModel()->rowCount() == 0 && (op == CheckOp::All || op == CheckOp::None)) {
        list = nodeList_;
        activeList_ = nodeList_;
    }
    CheckListModel* m = list->checkModel();
    const QVector<int> selected = list->selectedRowNumbers();
    if (op == CheckOp::Unselected && selected.isEmpty())
        return;
    for (int r = 0; r < m->rowCount(); ++r) {
        switch (op) {
        case CheckOp::All:
            m->setChecked(r, true);
            break;
        case CheckOp::None:
            m->setChecked(r, false);
            break;
        case CheckOp::Selected:
            if (selected.contains(r))
                m->setChecked(r, true);
            break;
        case CheckOp::Unselected:
            m->setChecked(r, !selected.contains(r));
            break;
        }
    }
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
    tearDown();
    event->accept();
    emit closed();
}

void CTransferDlg::tearDown() {
    timer_.stop();
    FreeFileGroups();
    setLibraryView(nullptr); // its file watching threads end with it
    if (tray_ != nullptr) {
        tray_->hide();
        delete tray_;
        tray_ = nullptr;
    }
    // The centre's threads stop and its ports close before the window goes.
    for (auto& channel : nodeRecords_)
        for (auto& n : channel)
            n = nullptr;
    channelOpen_[0] = channelOpen_[1] = 0;
    CCommCenter::Destroy();
    shutDown_ = true;
}

// ---------------------------------------------------------------------------------------------
// Commands. Most are filled in by the commands' own work; the window-only ones are here.

void CTransferDlg::onTransferParameter() {}
void CTransferDlg::onMachineInformation() {}
void CTransferDlg::onFilePath() {}
void CTransferDlg::onUserManagement() {}
void CTransferDlg::onModifyPassword() {}
void CTransferDlg::onLogOnOut() {}
void CTransferDlg::onSoftNote() {}

void CTransferDlg::onExitSystem() {
    close();
}

void CTransferDlg::onSelectFile() {}
void CTransferDlg::onSwitchChannel() {}
void CTransferDlg::onSendFile() {}
void CTransferDlg::onDeleteFile() {}
void CTransferDlg::onClearFile() {}
void CTransferDlg::onQueryNode() {}
void CTransferDlg::onCancelTask() {}

void CTransferDlg::onSelectAll() {
    applyCheckOp(CheckOp::All);
}

void CTransferDlg::onSelectPart() {
    applyCheckOp(CheckOp::Selected);
}

void CTransferDlg::onSelectOther() {
    applyCheckOp(CheckOp::Unselected);
}

void CTransferDlg::onCancelAll() {
    applyCheckOp(CheckOp::None);
}

void CTransferDlg::onAdd() {}
void CTransferDlg::onDelete() {}

void CTransferDlg::onViewFile() {
    if (hasRight(kRightSelectFile))
        ToggleView();
    // The button is checkable; without the right it keeps showing the view as it is.
    command(kViewFile)->setChecked(nodeViewShown_ == 0);
}

void CTransferDlg::onEditionInformation() {}
void CTransferDlg::onHowToUse() {}
void CTransferDlg::onAddNodeFilesFromLibrary() {}
void CTransferDlg::onDeleteGroupFiles() {}
void CTransferDlg::onDeleteGroups() {}
void CTransferDlg::onDropFiles(const QStringList& paths) {
    (void)paths;
}
