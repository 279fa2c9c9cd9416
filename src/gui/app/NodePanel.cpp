#include "gui/app/NodePanel.h"

#include "gui/app/CommandIds.h"
#include "gui/app/MainLists.h"
#include "gui/app/StationPrompts.h"
#include "gui/app/TransferDlg.h"
#include "gui/dialogs/CancelTaskDialog.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"
#include "gui/kit/StationIcons.h"
#include "station/Centre.h"
#include "station/CommandRules.h"
#include "station/FileGroups.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

// The panel's texts are the main window's (CTransferDlg::tr): one context in the catalogues.

NodePanel::NodePanel(const Edition& edition, QWidget* parent) : QWidget(parent) {
    setObjectName("nodePanel");
    std::fill(&nodeRowOf_[0][0], &nodeRowOf_[0][0] + kChannels * kMaxNodes, -1);
    createLists(edition);
    createContextMenus();
}

void NodePanel::createLists(const Edition& edition) {
    nodeModel_ = new CheckListModel(
        MainListColumns({QT_TRANSLATE_NOOP("CTransferDlg", "Node"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Channel"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Machine"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Task Num"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Current Task"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Rate"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "File Num"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Space Room"),
                         QT_TRANSLATE_NOOP("CTransferDlg", "Transfer Information")},
                        edition.nodeListWidths.data(), 8),
        this);
    nodeFileModel_ =
        new CheckListModel(MainListColumns({QT_TRANSLATE_NOOP("CTransferDlg", "No."),
                                            QT_TRANSLATE_NOOP("CTransferDlg", "FileName"),
                                            QT_TRANSLATE_NOOP("CTransferDlg", "Size")},
                                           edition.nodeFileWidths.data(), -1),
                           this);

    nodeList_ = new CheckListView(CTransferDlg::tr("Nodes"));
    nodeList_->setObjectName("nodeList");
    nodeFiles_ = new CheckListView(CTransferDlg::tr("Node Files"));
    nodeFiles_->setObjectName("nodeFileList");
    for (CheckListView* view : {nodeList_, nodeFiles_}) {
        SetUpMainList(view, view == nodeList_ ? nodeModel_ : nodeFileModel_);
        connect(view, &CheckListView::focusEntered, this,
                [this, view] { emit listActivated(view); });
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { showContextMenu(view, pos); });
    }
    nodeList_->setIconSize(QSize(16, 16));
    // The first column holds a check box (and in the node list an image) before its text.
    nodeList_->fitFirstColumn(QStringLiteral("0000"), true);
    nodeFiles_->fitFirstColumn(QStringLiteral("000"), false);

    // A click on a node shows its files; the current row also follows the keyboard, so the arrow
    // keys do the same.
    connect(nodeList_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { onNodeRowChosen(i.row()); });
    connect(nodeList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& i) {
                if (i.isValid() && !nodeList_->placingCurrent())
                    onNodeRowChosen(i.row());
            });

    // Node list (stretches) and node files (keep their width).
    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName("nodeSplit");
    split->addWidget(nodeList_);
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
    split->addWidget(nodeFilesPane);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setChildrenCollapsible(false);
    split->setSizes({nodeList_->contentsWidthHint(), nodeFiles_->contentsWidthHint()});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    setTabOrder(nodeList_, nodeFiles_);
}

void NodePanel::createContextMenus() {
    nodeListMenu_ =
        NewListMenu(nodeList_, CTransferDlg::tr("Transfer"), "nodeListMenu", kNodeListChecks, this);
    connect(AddListMenuEntry(nodeListMenu_, kNodeListSendFile, CTransferDlg::tr("Send File")),
            &QAction::triggered, this, &NodePanel::sendRequested);
    connect(AddListMenuEntry(nodeListMenu_, kNodeListClearFile, CTransferDlg::tr("Clear File")),
            &QAction::triggered, this, &NodePanel::clearFile);
    connect(AddListMenuEntry(nodeListMenu_, kNodeListCancelTask, CTransferDlg::tr("Cancel Task")),
            &QAction::triggered, this, &NodePanel::cancelTask);

    nodeFileMenu_ = NewListMenu(nodeFiles_, CTransferDlg::tr("FileList"), "nodeFileMenu",
                                kNodeFileChecks, this);
    connect(AddListMenuEntry(nodeFileMenu_, kNodeFileAddFile, CTransferDlg::tr("Add File")),
            &QAction::triggered, this, &NodePanel::addFromLibraryRequested);
    connect(AddListMenuEntry(nodeFileMenu_, kNodeFileDeleteFile, CTransferDlg::tr("Delete File")),
            &QAction::triggered, this, &NodePanel::deleteFile);
}

QMenu* NodePanel::contextMenuOf(const CheckListView* list) const {
    if (list == nodeList_)
        return nodeListMenu_;
    if (list == nodeFiles_)
        return nodeFileMenu_;
    return nullptr;
}

void NodePanel::showContextMenu(CheckListView* list, const QPoint& pos) {
    emit listActivated(list);
    if (list == nodeList_) {
        // A right click chooses the node too, without refreshing its files.
        const QModelIndex i = list->indexAt(pos);
        if (i.isValid())
            selectedRow_[currentChannel_] = i.row();
    }
    ExecListMenu(contextMenuOf(list), list, pos);
}

// ---------------------------------------------------------------------------------------------
// The node tables and the shown channel

void NodePanel::readNodeTables() {
    const SystemParameters& p = Params();
    for (int c = 0; c < kChannels; ++c) {
        NodeRecord* table = CCommCenter::NodeTable(c);
        channelOpen_[c] = table != nullptr ? 1 : 0;
        for (int j = 0; j < kMaxNodes; ++j)
            nodeRecords_[c][j] = (table != nullptr && j < p.comSum[c]) ? &table[j] : nullptr;
    }
}

void NodePanel::dropNodeTables() {
    for (auto& channel : nodeRecords_)
        for (auto& n : channel)
            n = nullptr;
    channelOpen_[0] = channelOpen_[1] = 0;
}

int NodePanel::nodeCountOf(int channel) const {
    if (channel < 0 || channel >= kChannels || channelOpen_[channel] == 0)
        return 0;
    int count = 0;
    while (count < kMaxNodes && nodeRecords_[channel][count] != nullptr)
        ++count;
    return count;
}

void NodePanel::showChannel(int channel) {
    currentChannel_ = channel;
    FillNodeList(channel);
}

bool NodePanel::switchChannel() {
    const int from = currentChannel_;
    const int to = 1 - from;
    if (channelOpen_[to] == 0)
        return false;
    for (int row = 0; row < nodeModel_->rowCount() && row < rowNode_[from].size(); ++row)
        nodeRows_[from][rowNode_[from][row]].checkSaved = nodeModel_->isChecked(row) ? 1 : 0;
    currentChannel_ = to;
    FillNodeList(to);
    for (int row = 0; row < nodeModel_->rowCount() && row < rowNode_[to].size(); ++row)
        nodeModel_->setChecked(row, nodeRows_[to][rowNode_[to][row]].checkSaved == 1);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The lists

void NodePanel::FillNodeList(int channel) {
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

void NodePanel::clearNodeFiles() {
    nodeFileRows_.clear();
    nodeFilesChannel_ = -1;
    nodeFilesNode_ = -1;
    nodeFileModel_->clear();
    showNodeFilesCaption();
}

void NodePanel::showNodeFilesCaption() {
    QString caption;
    if (nodeFilesChannel_ >= 0 && nodeFilesNode_ >= 0)
        caption = CTransferDlg::tr("Node") + QLatin1Char(' ') +
                  QString::fromStdString(nodeRows_[nodeFilesChannel_][nodeFilesNode_].label);
    nodeFilesCaption_->setText(caption);
    nodeFiles_->setAccessibleDescription(caption);
}

NodeRecord* NodePanel::nodeOfRow(int channel, int row) const {
    if (channel < 0 || channel >= kChannels || row < 0 || row >= rowNode_[channel].size())
        return nullptr;
    return nodeRecords_[channel][rowNode_[channel][row]];
}

void NodePanel::ShowNodeFiles(int channel) {
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

void NodePanel::onNodeRowChosen(int row) {
    if (row < 0 || row >= nodeModel_->rowCount())
        return;
    selectedRow_[currentChannel_] = row;
    ShowNodeFiles(currentChannel_);
}

std::vector<std::string> NodePanel::checkedNodeFileFields() const {
    std::vector<std::string> fields;
    for (int row : nodeFileModel_->checkedRows())
        if (row >= 0 && static_cast<size_t>(row) < nodeFileRows_.size())
            fields.push_back(nodeFileRows_[static_cast<size_t>(row)].field);
    return fields;
}

void NodePanel::tick() {
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

// ---------------------------------------------------------------------------------------------
// Commands. Each hands its request to the task layer without waiting for the machines: the node
// list shows the outcome through the status timer.

bool NodePanel::markCheckedNodes() {
    const int c = currentChannel_;
    std::vector<int> marked;
    for (int row : nodeModel_->checkedRows())
        if (row >= 0 && row < rowNode_[c].size())
            marked.push_back(rowNode_[c][row]);
    return MarkNodes(marked, nodeCountOf(c), request_.nodeMask);
}

void NodePanel::sendFile(const std::vector<int>& groups) {
    if (!hasRight(kRightSendFile))
        return;
    if (!markCheckedNodes()) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    const SendPlan plan = PlanSend(groups);
    const QString problems = QString::fromStdString(FileProblemsText(plan.collection.problems));
    switch (plan.refusal) {
    case SendRefusal::NoFiles:
        StationMessage(window(), CTransferDlg::tr("Please Select File Group First!"));
        return;
    case SendRefusal::TooMany:
        StationMessage(window(),
                       CTransferDlg::tr("The checked groups hold %1 files to send; a machine "
                                        "holds at most %2. Nothing was sent.")
                           .arg(plan.sendable)
                           .arg(kMaxEntries),
                       Prompter::Icon::Stop);
        return;
    case SendRefusal::NothingToSend:
        StationMessage(
            window(),
            CTransferDlg::tr("No file of the checked groups can be sent:\n%1").arg(problems),
            Prompter::Icon::Stop);
        return;
    case SendRefusal::None:
        break;
    }
    if (!plan.collection.problems.empty() &&
        !StationQuestion(window(),
                         CTransferDlg::tr("These files are left out:\n%1\n\nSend the other "
                                          "%n file(s)?",
                                          nullptr, static_cast<int>(plan.collection.files.size()))
                             .arg(problems)))
        return;
    request_.files = plan.collection.Paths();
    HandOverOrSay(window(), LoggedCommand::Send, currentChannel_, request_);
}

void NodePanel::deleteFile() {
    if (!hasRight(kRightDeleteFile))
        return;
    if (!StationQuestion(window(), CTransferDlg::tr("Do  you delete the files in the node?"),
                         Prompter::Icon::Danger))
        return;
    // The node and the names are those the node-file list shows, whatever has been clicked or
    // queried since: exactly the files the operator ticked, on the node they belong to.
    const int c = nodeFilesChannel_;
    if (c < 0 || !MarkNodes({nodeFilesNode_}, nodeCountOf(c), request_.nodeMask)) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    request_.files = checkedNodeFileFields();
    if (request_.files.empty()) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    HandOverOrSay(window(), LoggedCommand::Delete, c, request_);
}

void NodePanel::clearFile() {
    if (!hasRight(kRightDeleteFile))
        return;
    if (!StationQuestion(window(), CTransferDlg::tr("Do  you delete the files in the node?"),
                         Prompter::Icon::Danger))
        return;
    if (!markCheckedNodes()) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    request_.files.clear();
    HandOverOrSay(window(), LoggedCommand::Clear, currentChannel_, request_);
}

void NodePanel::queryNode() {
    if (!hasRight(kRightQueryNodeStatus))
        return;
    if (!markCheckedNodes()) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    request_.files.clear();
    CreateQueryTask(currentChannel_, request_); // a query is not logged
}

void NodePanel::cancelTask() {
    if (!hasRight(kRightCancelTask))
        return;
    CCommCenter* cc = CCommCenter::Instance();
    if (!markCheckedNodes() || cc == nullptr)
        return; // no node: nothing pending, nothing to show
    std::vector<CancelEntry> entries = CollectCancelList(*cc, currentChannel_, request_);
    if (entries.empty())
        return;
    CancelTaskDialog dialog(std::move(entries), window());
    if (prompter().exec(dialog) != QDialog::Accepted)
        return;
    const std::vector<int32_t> numbers = dialog.tickedTaskNumbers();
    if (!numbers.empty())
        CancelTaskNumbers(currentChannel_, request_.nodeMask, numbers);
}
