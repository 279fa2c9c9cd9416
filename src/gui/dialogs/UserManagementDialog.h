// The User Management dialog: the list of users (name, class) with "Add", "Modify", "Delete" and
// "Back". Its checks and messages are in users/UserDialogs.h; Add and Modify open the Add / Modify
// User dialog.
#pragma once

#include "users/UserDialogs.h"

#include <QDialog>

#include <vector>

class DialogTableModel;
class DialogTableView;
class QPushButton;
class QWidget;

class UserManagementDialog : public QDialog {
    Q_OBJECT
public:
    // `rows` from userManagementOpen().
    explicit UserManagementDialog(const std::vector<UserRow>& rows, QWidget* parent = nullptr);

    DialogTableView* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* modifyButton() const { return modify_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* backButton() const { return back_; }

private:
    void fill(const std::vector<UserRow>& rows);
    void onAdd();
    void onModify();
    void onDelete();

    DialogTableModel* model_;
    DialogTableView* list_;
    QPushButton* add_;
    QPushButton* modify_;
    QPushButton* delete_;
    QPushButton* back_;
};

// The User Management command: administrators only (anyone else: nothing happens, nothing is
// shown). Creates an empty table when there is none; when that fails, shows "Password Read
// Error!" and opens nothing.
void RunUserManagement(QWidget* parent);
