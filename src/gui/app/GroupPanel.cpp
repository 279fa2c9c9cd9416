#include "gui/app/GroupPanel.h"

#include "gui/app/CommandIds.h"
#include "gui/app/MainLists.h"
#include "gui/app/StationPrompts.h"
#include "gui/app/TransferDlg.h"
#include "gui/kit/CheckListModel.h"
#include "gui/kit/CheckListView.h"
#include "station/StationTexts.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QSplitter>

// The panel's texts are the main window's (CTransferDlg::tr): one context in the catalogues.

GroupPanel::GroupPanel(const Edition& edition, QWidget* parent) : QWidget(parent) {
    setObjectName("groupPanel");
    createLists(edition);
    createContextMenus();
}

void GroupPanel::createLists(const Edition& edition) {
    groupFileModel_ = new CheckListModel(
        MainListColumns(
            {QT_TRANSLATE_NOOP("CTransferDlg", "No."), QT_TRANSLATE_NOOP("CTransferDlg", "Type"),
             QT_TRANSLATE_NOOP("CTransferDlg", "FileName"),
             QT_TRANSLATE_NOOP("CTransferDlg", "Size"), QT_TRANSLATE_NOOP("CTransferDlg", "Path")},
            edition.groupFileWidths.data(), 4),
        this);
    fileGroupModel_ =
        new CheckListModel(MainListColumns({QT_TRANSLATE_NOOP("CTransferDlg", "Type"),
                                            QT_TRANSLATE_NOOP("CTransferDlg", "File Num"),
                                            QT_TRANSLATE_NOOP("CTransferDlg", "Sum Size")},
                                           edition.fileGroupWidths.data(), -1),
                           this);

    groupFiles_ = new CheckListView(CTransferDlg::tr("Group Files"));
    groupFiles_->setObjectName("groupFileList");
    groupFiles_->setAcceptFileDrops(true);
    fileGroups_ = new CheckListView(CTransferDlg::tr("File Groups"));
    fileGroups_->setObjectName("fileGroupList");
    for (CheckListView* view : {groupFiles_, fileGroups_}) {
        SetUpMainList(view, view == groupFiles_ ? groupFileModel_ : fileGroupModel_);
        view->fitFirstColumn(QStringLiteral("000"), false);
        connect(view, &CheckListView::focusEntered, this,
                [this, view] { emit listActivated(view); });
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { showContextMenu(view, pos); });
    }

    // A click on a group shows its files; the current row also follows the keyboard.
    connect(fileGroups_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& i) { onGroupRowChosen(i.row()); });
    connect(fileGroups_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& i) {
                if (i.isValid() && !fileGroups_->placingCurrent())
                    onGroupRowChosen(i.row());
            });
    connect(groupFiles_, &CheckListView::filesDropped, this, &GroupPanel::dropFiles);

    // Group files (stretch) and file groups (keep their width).
    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName("groupSplit");
    split->addWidget(groupFiles_);
    split->addWidget(fileGroups_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setChildrenCollapsible(false);
    split->setSizes({groupFiles_->contentsWidthHint(), fileGroups_->contentsWidthHint()});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    setTabOrder(groupFiles_, fileGroups_);
}

void GroupPanel::createContextMenus() {
    groupFileMenu_ = NewListMenu(groupFiles_, CTransferDlg::tr("FileGroup"), "groupFileMenu",
                                 kGroupFileChecks, this);
    connect(AddListMenuEntry(groupFileMenu_, kGroupFileAdd, CTransferDlg::tr("Add")),
            &QAction::triggered, this, &GroupPanel::add);
    connect(AddListMenuEntry(groupFileMenu_, kGroupFileDelete, CTransferDlg::tr("Delete")),
            &QAction::triggered, this, &GroupPanel::deleteGroupFiles);

    fileGroupMenu_ = NewListMenu(fileGroups_, CTransferDlg::tr("FilesGroup"), "fileGroupMenu",
                                 kFileGroupChecks, this);
    connect(AddListMenuEntry(fileGroupMenu_, kFileGroupDelete, CTransferDlg::tr("Delete")),
            &QAction::triggered, this, &GroupPanel::deleteGroups);
}

QMenu* GroupPanel::contextMenuOf(const CheckListView* list) const {
    if (list == groupFiles_)
        return groupFileMenu_;
    if (list == fileGroups_)
        return fileGroupMenu_;
    return nullptr;
}

void GroupPanel::showContextMenu(CheckListView* list, const QPoint& pos) {
    emit listActivated(list);
    ExecListMenu(contextMenuOf(list), list, pos);
}

// ---------------------------------------------------------------------------------------------
// The lists

void GroupPanel::ShowGroup(int group, bool withGroupList) {
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

int GroupPanel::shownGroup() const {
    bool ok = false;
    const int number = groupFileModel_->cell(0, 1).toInt(&ok);
    return ok && number >= 1 ? number - 1 : -1;
}

std::vector<int> GroupPanel::checkedGroups() const {
    std::vector<int> out;
    for (int row : fileGroupModel_->checkedRows()) {
        bool ok = false;
        const int number = fileGroupModel_->cell(row, 0).toInt(&ok);
        if (ok && number >= 1)
            out.push_back(number - 1);
    }
    return out;
}

void GroupPanel::onGroupRowChosen(int row) {
    bool ok = false;
    const int number = fileGroupModel_->cell(row, 0).toInt(&ok);
    if (ok && number >= 1)
        ShowGroup(number - 1, false);
}

void GroupPanel::applyGroupOutcome(const GroupOutcome& outcome) {
    if (outcome.refresh)
        ShowGroup(outcome.show, outcome.withGroupList);
    if (!outcome.problems.empty())
        StationMessage(window(),
                       CTransferDlg::tr("These files were left out:\n%1")
                           .arg(QString::fromStdString(FileProblemsText(outcome.problems))),
                       Prompter::Icon::Warning);
}

// ---------------------------------------------------------------------------------------------
// Commands

QString GroupPanel::FileDialogFilter() {
    // Linux names are case-sensitive: both cases of the three types, and "*" for every file, so a
    // name without a dot shows as well.
    return QStringLiteral("*.DST;*.DSB;*.UPT (*.DST *.DSB *.UPT *.dst *.dsb *.upt);;") +
           CTransferDlg::tr("All File") + QStringLiteral(" (*)");
}

std::vector<std::string> GroupPanel::chooseFiles(const QString& title) {
    std::vector<std::string> paths;
    for (const QString& p : prompter().openFiles(
             window(), title, QString::fromStdString(Params().filePath), FileDialogFilter()))
        paths.push_back(p.toStdString());
    return paths;
}

void GroupPanel::addToShownGroup(const std::vector<std::string>& paths) {
    const auto replace = [this](const std::string& name) {
        return StationQuestion(window(),
                               QString::fromStdString(name + StationText(kIdsReplaceQuestion)));
    };
    applyGroupOutcome(AddFilesToGroup(shownGroup(), paths, replace));
}

void GroupPanel::selectFile() {
    if (!hasRight(kRightSelectFile))
        return;
    const std::vector<std::string> paths = chooseFiles(CTransferDlg::tr("Select File"));
    if (!paths.empty())
        applyGroupOutcome(NewGroupFromFiles(paths));
}

void GroupPanel::add() {
    const std::vector<std::string> paths = chooseFiles(CTransferDlg::tr("Add File"));
    if (!paths.empty())
        addToShownGroup(paths);
}

void GroupPanel::addFromLibrary(const std::vector<std::string>& fields) {
    if (fields.empty())
        return;
    const LibraryLookup found = FindLibraryFiles(Params().filePath, fields);
    if (!found.missing.empty()) {
        QString text = QString::fromStdString(found.MissingText());
        if (found.cut)
            text += QLatin1Char('\n') +
                    CTransferDlg::tr("Only the first %1 folders of the library were searched.")
                        .arg(kMaxLibraryFolders);
        StationMessage(window(), text);
    }
    if (!found.paths.empty())
        addToShownGroup(found.paths);
}

void GroupPanel::deleteGroupFiles() {
    const int group = shownGroup();
    if (group < 0)
        return;
    const QVector<int> rows = groupFileModel_->checkedRows();
    if (rows.isEmpty()) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    if (!StationQuestion(window(), CTransferDlg::tr("Is the Selected File Delete?"),
                         Prompter::Icon::Danger))
        return;
    applyGroupOutcome(DeleteGroupFiles(group, std::vector<int>(rows.begin(), rows.end())));
}

void GroupPanel::deleteGroups() {
    if (fileGroupModel_->rowCount() == 0)
        return;
    const std::vector<int> groups = checkedGroups();
    if (groups.empty()) {
        StationMessage(window(), CTransferDlg::tr("Please Choose The Node in List!"));
        return;
    }
    if (!StationQuestion(window(), CTransferDlg::tr("Is the Selected File Group Delete?"),
                         Prompter::Icon::Danger))
        return;
    applyGroupOutcome(DeleteGroups(groups));
}

void GroupPanel::dropFiles(const QStringList& paths) {
    std::vector<std::string> files;
    for (const QString& p : paths)
        files.push_back(p.toStdString());
    applyGroupOutcome(DropFiles(files));
}
