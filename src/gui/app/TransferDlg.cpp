#include "gui/app/TransferDlg.h"

#include "gui/browser/LibraryView.h"

#include "gui/dialogs/CancelTaskDialog.h"
#include "gui/dialogs/LogOnDialog.h"
#include "gui/dialogs/MachineTableDialog.h"
#include "gui/dialogs/ModifyPasswordDialog.h"
#include "gui/dialogs/ParameterDialog.h"
#include "gui/dialogs/SoftNoteDialog.h"
#include "gui/dialogs/UserManagementDialog.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"
#include "gui/kit/Prompter.h"
#include "gui/kit/StationIcons.h"
#include "station/Centre.h"
#include "station/CommandRules.h"
#include "station/FileGroups.h"
#include "station/NodeLabels.h"
#include "station/NodeRows.h"
#include "station/StationTexts.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QUrl>
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
    // Over the node files, the node they belong to: the list is emptied whenever the node list is
    // rebuilt, and until a node is chosen again it stands for none.
    auto* nodeFilesPane = new QWidget;
    auto* nodeFilesLayout = new QVBoxLayout(nodeFilesPane);
    nodeFilesLayout->setContentsMargins(0, 0, 0, 0);
    nodeFilesLayout->setSpacing(2);
    nodeFilesCaption_ = new QLabel(nodeFilesPane);
    nodeFilesCaption_->setObjectName("nodeFilesCaption");
    nodeFilesCaption_->setMinimumHeight(fontMetrics().height());
    nodeFilesLayout->addWidget(nodeFilesCaption_);
    nodeFilesLayout->addWidget(nodeFiles_, 1);
    nodeSplit_->addWidget(nodeFilesPane);
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
    openResult_ = StartCentreFromParameters();
    lostLines_ = 0;
    showChannelPane();
    readNodeTables();
    currentChannel_ = (channelOpen_[0] != 0 || channelOpen_[1] == 0) ? 0 : 1;
    panes_[3]->setText(tr("Channel") + QString::number(currentChannel_ + 1));
    FillNodeList(currentChannel_);
}

void CTransferDlg::readNodeTables() {
    const SystemParameters& p = Params();
    for (int c = 0; c < kChannels; ++c) {
        NodeRecord* table = CCommCenter::NodeTable(c);
        channelOpen_[c] = table != nullptr ? 1 : 0;
        for (int j = 0; j < kMaxNodes; ++j)
            nodeRecords_[c][j] = (table != nullptr && j < p.comSum[c]) ? &table[j] : nullptr;
    }
}

void CTransferDlg::dropNodeTables() {
    for (auto& channel : nodeRecords_)
        for (auto& n : channel)
            n = nullptr;
    channelOpen_[0] = channelOpen_[1] = 0;
}

int CTransferDlg::nodeCountOf(int channel) const {
    if (channel < 0 || channel >= kChannels || channelOpen_[channel] == 0)
        return 0;
    int count = 0;
    while (count < kMaxNodes && nodeRecords_[channel][count] != nullptr)
        ++count;
    return count;
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
    // Rows may now show other nodes: no row stays chosen and the node-file list shows nothing
    // until a node is chosen again, so that neither the timer's refresh nor Delete File ever acts
    // on a node the operator did not choose.
    selectedRow_[channel] = -1;
    clearNodeFiles();
}

void CTransferDlg::clearNodeFiles() {
    nodeFileRows_.clear();
    nodeFilesChannel_ = -1;
    nodeFilesNode_ = -1;
    nodeFileModel_->clear();
    showNodeFilesCaption();
}

void CTransferDlg::showNodeFilesCaption() {
    QString caption;
    if (nodeFilesChannel_ >= 0 && nodeFilesNode_ >= 0)
        caption = tr("Node") + QLatin1Char(' ') +
                  QString::fromStdString(nodeRows_[nodeFilesChannel_][nodeFilesNode_].label);
    nodeFilesCaption_->setText(caption);
    nodeFiles_->setAccessibleDescription(caption);
}

NodeRecord* CTransferDlg::nodeOfRow(int channel, int row) const {
    if (channel < 0 || channel >= kChannels || row < 0 || row >= rowNode_[channel].size())
        return nullptr;
    return nodeRecords_[channel][rowNode_[channel][row]];
}

void CTransferDlg::ShowNodeFiles(int channel) {
    nodeFileRows_.clear();
    nodeFilesChannel_ = -1;
    nodeFilesNode_ = -1;
    const int row = selectedRow_[channel & 1];
    if (const NodeRecord* node = nodeOfRow(channel, row)) {
        nodeFileRows_ = NodeFileRows(*node);
        nodeFilesChannel_ = channel;
        nodeFilesNode_ = rowNode_[channel][row];
    }
    QVector<QStringList> rows;
    rows.reserve(static_cast<int>(nodeFileRows_.size()));
    for (const NodeFileRow& r : nodeFileRows_)
        rows.push_back({QString::fromStdString(r.noText), QString::fromStdString(r.name),
                        QString::fromStdString(r.sizeText)});
    nodeFileModel_->setRows(rows);
    showNodeFilesCaption();
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

void CTransferDlg::showChannelPane() {
    QString text;
    switch (lostLines_) {
    case 1:
        text = tr("Channel One Line Lost");
        break;
    case 2:
        text = tr("Channel Two Line Lost");
        break;
    case 3:
        text = tr("Two Channels Line Lost");
        break;
    default:
        text = QString::fromStdString(StationText(ChannelResultTextId(openResult_)));
        break;
    }
    panes_[0]->setText(text);
}

void CTransferDlg::StatusTick() {
    // A lost line, on either channel, is told in the first pane for as long as it lasts.
    if (const int lost = LostLines(openResult_); lost != lostLines_) {
        lostLines_ = lost;
        showChannelPane();
    }
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
    dropNodeTables();
    CCommCenter::Destroy();
    shutDown_ = true;
}

// ---------------------------------------------------------------------------------------------
// Commands. Each checks its right first (a refused command does nothing and shows nothing), then
// the selections, asks where it must, and hands its request to the task layer without waiting for
// the machines: the node list shows the outcome through the status timer.

void CTransferDlg::showMessage(const QString& text, Prompter::Icon icon) {
    prompter().message(this, promptCaption_, text, icon);
}

bool CTransferDlg::ask(const QString& text, Prompter::Icon icon) {
    return prompter().question(this, promptCaption_, text, icon);
}

bool CTransferDlg::markCheckedNodes() {
    const int c = currentChannel_;
    std::vector<int> marked;
    for (int row : nodeModel_->checkedRows())
        if (row >= 0 && row < rowNode_[c].size())
            marked.push_back(rowNode_[c][row]);
    return MarkNodes(marked, nodeCountOf(c), request_.nodeMask);
}

std::vector<int> CTransferDlg::checkedGroups() const {
    std::vector<int> out;
    for (int row : fileGroupModel_->checkedRows()) {
        bool ok = false;
        const int number = fileGroupModel_->cell(row, 0).toInt(&ok);
        if (ok && number >= 1)
            out.push_back(number - 1);
    }
    return out;
}

void CTransferDlg::applyGroupOutcome(const GroupOutcome& outcome) {
    if (outcome.refresh)
        ShowGroup(outcome.show, outcome.withGroupList);
    showLeftOut(outcome.problems);
}

void CTransferDlg::showLeftOut(const std::vector<FileProblem>& problems) {
    if (problems.empty())
        return;
    showMessage(tr("These files were left out:\n%1")
                    .arg(QString::fromStdString(FileProblemsText(problems))),
                Prompter::Icon::Warning);
}

QString CTransferDlg::FileDialogFilter() {
    // Linux names are case-sensitive: both cases of the three types, and "*" for every file, so a
    // name without a dot shows as well.
    return QStringLiteral("*.DST;*.DSB;*.UPT (*.DST *.DSB *.UPT *.dst *.dsb *.upt);;") +
           tr("All File") + QStringLiteral(" (*)");
}

QStringList CTransferDlg::chooseFiles(const QString& title) {
    return prompter().openFiles(this, title, QString::fromStdString(Params().filePath),
                                FileDialogFilter());
}

void CTransferDlg::addToShownGroup(const std::vector<std::string>& paths) {
    const auto replace = [this](const std::string& name) {
        return ask(QString::fromStdString(name + StationText(kIdsReplaceQuestion)));
    };
    applyGroupOutcome(AddFilesToGroup(shownGroup(), paths, replace));
}

bool CTransferDlg::handOver(LoggedCommand command, int channel) {
    std::string reason;
    const HandOver result = LogAndQueue(command, channel, request_, CurrentUser.userName, &reason);
    switch (result) {
    case HandOver::Queued:
        return true;
    case HandOver::LogUnwritable:
        showMessage(tr("Nothing was done: the event log cannot be written.\n%1")
                        .arg(QString::fromStdString(reason)),
                    Prompter::Icon::Stop);
        return false;
    case HandOver::LogFailed:
        showMessage(tr("Nothing was done: writing the event log failed."), Prompter::Icon::Stop);
        return false;
    case HandOver::NotQueued:
        showMessage(tr("Nothing was done: the channel takes no tasks."), Prompter::Icon::Stop);
        return false;
    }
    return false;
}

// --- System

void CTransferDlg::onTransferParameter() {
    if (!hasRight(kRightSetSystemParameter))
        return;
    // OK re-creates the centre: from here on nothing may read the old centre's node records, not
    // even a tick of the status timer while the dialog is open.
    timer_.stop();
    dropNodeTables();
    int openResult = -1;
    const bool changed = RunParameterSetting(this, &openResult);
    readNodeTables();
    if (changed && openResult >= 0 && openResult <= 3) {
        openResult_ = openResult;
        lostLines_ = 0;
        showChannelPane();
        FillNodeList(currentChannel_); // the shown channel stays, even when it is now closed
    }
    if (!shutDown_)
        timer_.start();
}

void CTransferDlg::onMachineInformation() {
    if (RunMachineInformation(this))
        FillNodeList(currentChannel_);
}

void CTransferDlg::onFilePath() {
    const QString chosen = prompter().folder(this, tr("Please Select File Group First!"),
                                             QString::fromStdString(Params().filePath));
    if (chosen.isEmpty())
        return;
    if (!SaveFilePath(QDir::cleanPath(chosen).toStdString()))
        showMessage(tr("System Write Error!"), Prompter::Icon::Stop);
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
    userText_ = QString::fromStdString(currentUserText());
    panes_[2]->setText(userText_);
}

void CTransferDlg::onSoftNote() {
    RunSoftNote(this);
}

void CTransferDlg::onExitSystem() {
    close();
}

// --- Transfer

void CTransferDlg::onSelectFile() {
    if (!hasRight(kRightSelectFile))
        return;
    const QStringList chosen = chooseFiles(tr("Select File"));
    if (chosen.isEmpty())
        return;
    std::vector<std::string> paths;
    for (const QString& p : chosen)
        paths.push_back(p.toStdString());
    applyGroupOutcome(NewGroupFromFiles(paths));
}

void CTransferDlg::onSwitchChannel() {
    const int from = currentChannel_;
    const int to = 1 - from;
    if (channelOpen_[to] == 0)
        return;
    for (int row = 0; row < nodeModel_->rowCount() && row < rowNode_[from].size(); ++row)
        nodeRows_[from][rowNode_[from][row]].checkSaved = nodeModel_->isChecked(row) ? 1 : 0;
    currentChannel_ = to;
    panes_[3]->setText(tr("Channel") + QString::number(to + 1));
    FillNodeList(to);
    if (nodeViewShown_ == 0)
        onViewFile(); // back to the nodes, with View File's own right check
    for (int row = 0; row < nodeModel_->rowCount() && row < rowNode_[to].size(); ++row)
        nodeModel_->setChecked(row, nodeRows_[to][rowNode_[to][row]].checkSaved == 1);
}

void CTransferDlg::onSendFile() {
    if (!hasRight(kRightSendFile))
        return;
    if (!markCheckedNodes()) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    const SendPlan plan = PlanSend(checkedGroups());
    const QString problems = QString::fromStdString(FileProblemsText(plan.collection.problems));
    switch (plan.refusal) {
    case SendRefusal::NoFiles:
        showMessage(tr("Please Select File Group First!"));
        return;
    case SendRefusal::TooMany:
        showMessage(tr("The checked groups hold %1 files to send; a machine holds at most %2. "
                       "Nothing was sent.")
                        .arg(plan.sendable)
                        .arg(kMaxEntries),
                    Prompter::Icon::Stop);
        return;
    case SendRefusal::NothingToSend:
        showMessage(tr("No file of the checked groups can be sent:\n%1").arg(problems),
                    Prompter::Icon::Stop);
        return;
    case SendRefusal::None:
        break;
    }
    if (!plan.collection.problems.empty() &&
        !ask(tr("These files are left out:\n%1\n\nSend the other %n file(s)?", nullptr,
                static_cast<int>(plan.collection.files.size()))
                 .arg(problems)))
        return;
    request_.files = plan.collection.Paths();
    handOver(LoggedCommand::Send, currentChannel_);
}

void CTransferDlg::onDeleteFile() {
    if (!hasRight(kRightDeleteFile))
        return;
    if (!ask(tr("Do  you delete the files in the node?"), Prompter::Icon::Danger))
        return;
    // The node and the names are those the node-file list shows, whatever has been clicked or
    // queried since: exactly the files the operator ticked, on the node they belong to.
    const int c = nodeFilesChannel_;
    if (c < 0 || !MarkNodes({nodeFilesNode_}, nodeCountOf(c), request_.nodeMask)) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    request_.files.clear();
    for (int row : nodeFileModel_->checkedRows())
        if (row >= 0 && static_cast<size_t>(row) < nodeFileRows_.size())
            request_.files.push_back(nodeFileRows_[static_cast<size_t>(row)].field);
    if (request_.files.empty()) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    handOver(LoggedCommand::Delete, c);
}

void CTransferDlg::onClearFile() {
    if (!hasRight(kRightDeleteFile))
        return;
    if (!ask(tr("Do  you delete the files in the node?"), Prompter::Icon::Danger))
        return;
    if (!markCheckedNodes()) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    request_.files.clear();
    handOver(LoggedCommand::Clear, currentChannel_);
}

void CTransferDlg::onQueryNode() {
    if (!hasRight(kRightQueryNodeStatus))
        return;
    if (!markCheckedNodes()) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    request_.files.clear();
    CreateQueryTask(currentChannel_, request_); // a query is not logged
}

void CTransferDlg::onCancelTask() {
    if (!hasRight(kRightCancelTask))
        return;
    CCommCenter* cc = CCommCenter::Instance();
    if (!markCheckedNodes() || cc == nullptr)
        return; // no node: nothing pending, nothing to show
    std::vector<CancelEntry> entries = CollectCancelList(*cc, currentChannel_, request_);
    if (entries.empty())
        return;
    CancelTaskDialog dialog(std::move(entries), this);
    if (prompter().exec(dialog) != QDialog::Accepted)
        return;
    const std::vector<int32_t> numbers = dialog.tickedTaskNumbers();
    if (!numbers.empty())
        CancelTaskNumbers(currentChannel_, request_.nodeMask, numbers);
}

// --- Operation

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

void CTransferDlg::onAdd() {
    const QStringList chosen = chooseFiles(tr("Add File"));
    if (chosen.isEmpty())
        return;
    std::vector<std::string> paths;
    for (const QString& p : chosen)
        paths.push_back(p.toStdString());
    addToShownGroup(paths);
}

void CTransferDlg::onDelete() {
    if (activeList_ == groupFiles_)
        onDeleteGroupFiles();
    else if (activeList_ == fileGroups_)
        onDeleteGroups();
}

void CTransferDlg::onViewFile() {
    if (hasRight(kRightSelectFile))
        ToggleView();
    // The button is checkable; without the right it keeps showing the view as it is.
    command(kViewFile)->setChecked(nodeViewShown_ == 0);
}

// --- Help

void CTransferDlg::onEditionInformation() {
    QDialog about(this);
    about.setObjectName("AboutDialog");
    about.setWindowTitle(tr("About Quorvelle Network Transfer System"));
    auto* picture = new QLabel(&about);
    picture->setPixmap(StationIcon().pixmap(48, 48));
    picture->setAccessibleName(tr("Quorvelle Network Transfer System"));
    auto* name = new QLabel(tr("Quorvelle Network Transfer System"), &about);
    name->setObjectName("name");
    auto* version = new QLabel(tr("Version 2.0"), &about);
    version->setObjectName("version");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(&about);
    layout->addLayout(top);
    layout->addWidget(buttons);
    prompter().exec(about);
}

void CTransferDlg::onHowToUse() {
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(edition_.helpFile));
    if (!QFileInfo(path).isFile()) {
        showMessage(tr("The help file %1 is missing.").arg(QDir::toNativeSeparators(path)),
                    Prompter::Icon::Warning);
        return;
    }
    if (!prompter().openUrl(QUrl::fromLocalFile(path)))
        showMessage(tr("Nothing on this computer could open the help file %1.")
                        .arg(QDir::toNativeSeparators(path)),
                    Prompter::Icon::Warning);
}

// --- Context menus and drops

void CTransferDlg::onAddNodeFilesFromLibrary() {
    std::vector<std::string> fields;
    for (int row : nodeFileModel_->checkedRows())
        if (row >= 0 && static_cast<size_t>(row) < nodeFileRows_.size())
            fields.push_back(nodeFileRows_[static_cast<size_t>(row)].field);
    if (fields.empty())
        return;
    const LibraryLookup found = FindLibraryFiles(Params().filePath, fields);
    if (!found.missing.empty()) {
        QString text = QString::fromStdString(found.MissingText());
        if (found.cut)
            text +=
                QLatin1Char('\n') + tr("Only the first %1 folders of the library were searched.")
                                        .arg(kMaxLibraryFolders);
        showMessage(text);
    }
    if (!found.paths.empty())
        addToShownGroup(found.paths);
}

void CTransferDlg::onDeleteGroupFiles() {
    const int group = shownGroup();
    if (group < 0)
        return;
    const QVector<int> rows = groupFileModel_->checkedRows();
    if (rows.isEmpty()) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    if (!ask(tr("Is the Selected File Delete?"), Prompter::Icon::Danger))
        return;
    applyGroupOutcome(DeleteGroupFiles(group, std::vector<int>(rows.begin(), rows.end())));
}

void CTransferDlg::onDeleteGroups() {
    if (fileGroupModel_->rowCount() == 0)
        return;
    const std::vector<int> groups = checkedGroups();
    if (groups.empty()) {
        showMessage(tr("Please Choose The Node in List!"));
        return;
    }
    if (!ask(tr("Is the Selected File Group Delete?"), Prompter::Icon::Danger))
        return;
    applyGroupOutcome(DeleteGroups(groups));
}

void CTransferDlg::onDropFiles(const QStringList& paths) {
    std::vector<std::string> files;
    for (const QString& p : paths)
        files.push_back(p.toStdString());
    applyGroupOutcome(DropFiles(files));
}
