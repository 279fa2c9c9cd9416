// The Add User / Modify User dialog: user name, password and its confirmation, the two class
// buttons and "Detail" (the Right Setting dialog), OK and CANCEL. Every decision is in
// users/UserDialogs.h (userEditView, userEditClick..., userEditOk, rightSetting...); the dialog
// collects the fields and shows the outcome through the Prompter.
#pragma once

#include "users/UserDialogs.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

class UserEditDialog : public QDialog {
    Q_OBJECT
public:
    // `state` from userManagementAdd() or userManagementModify().
    explicit UserEditDialog(UserEditState state, QWidget* parent = nullptr);

    const UserEditState& state() const { return state_; }

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }
    QLineEdit* confirmEdit() const { return confirm_; }
    QRadioButton* administratorButton() const { return administrator_; }
    QRadioButton* operatorButton() const { return operator_; }
    QPushButton* detailButton() const { return detail_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void refresh();
    void onOk();
    void onDetail();
    QWidget* fieldWidget(int field) const;

    UserEditState state_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* confirm_;
    QRadioButton* administrator_;
    QRadioButton* operator_;
    QPushButton* detail_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
