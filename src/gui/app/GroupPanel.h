// The main window's lower half: the files of the shown file group and the list of file groups,
// with the commands that make, fill and empty the groups (Select File, Add, Delete, drops onto
// the lists). The groups themselves and their rules are the station's (FileGroups); the panel
// shows what those return.
#pragma once

#include "gui/app/Edition.h"
#include "station/FileGroups.h"

#include <QStringList>
#include <QWidget>

#include <string>
#include <vector>

class CheckListModel;
class CheckListView;
class QMenu;

class GroupPanel : public QWidget {
    Q_OBJECT
public:
    explicit GroupPanel(const Edition& edition, QWidget* parent = nullptr);

    // Shows the files of `group`, and with `withGroupList` the list of groups anew.
    void ShowGroup(int group, bool withGroupList);
    // The group whose files the group-file list shows (its first row's "Type"), or -1.
    int shownGroup() const;
    // Group indexes of the checked rows of the group list, ascending.
    std::vector<int> checkedGroups() const;

    CheckListView* groupFileList() const { return groupFiles_; }
    CheckListView* fileGroupList() const { return fileGroups_; }
    QMenu* contextMenuOf(const CheckListView* list) const;

    // The file dialogs' filter: the three design types in both letter cases, and "All File" as
    // "*", so that a name without a dot shows too.
    static QString FileDialogFilter();

    // --- The commands.
    void selectFile(); // a new group from the file dialog
    void add();        // more files for the shown group, from the file dialog
    // Finds the node files named by their 12-byte names in the library folder and adds them to
    // the shown group, saying which were not found.
    void addFromLibrary(const std::vector<std::string>& fields);
    void deleteGroupFiles();
    void deleteGroups();
    void dropFiles(const QStringList& paths);

signals:
    // A list of the panel took the focus or opened its context menu: it is the active list.
    void listActivated(CheckListView* list);

private:
    void createLists(const Edition& edition);
    void createContextMenus();
    void showContextMenu(CheckListView* list, const QPoint& pos);
    void onGroupRowChosen(int row);
    // Shows what a file-group operation left behind, and the files it left out.
    void applyGroupOutcome(const GroupOutcome& outcome);
    // The open-file dialog of Select File and Add; empty when cancelled.
    std::vector<std::string> chooseFiles(const QString& title);
    // Adds paths to the shown group (or a new one), asking before a file replaces one of its name.
    void addToShownGroup(const std::vector<std::string>& paths);

    CheckListModel* groupFileModel_ = nullptr;
    CheckListModel* fileGroupModel_ = nullptr;
    CheckListView* groupFiles_ = nullptr;
    CheckListView* fileGroups_ = nullptr;
    QMenu* groupFileMenu_ = nullptr;
    QMenu* fileGroupMenu_ = nullptr;
};
