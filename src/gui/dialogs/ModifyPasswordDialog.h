// The Modify Password dialog: old password, new password and its confirmation, OK and CANCEL.
// The dialog only collects the three fields; RunModifyPassword checks and writes them
// (modifyPasswordOk in users/UserDialogs.h) after it has closed.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QWidget;

class ModifyPasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModifyPasswordDialog(QWidget* parent = nullptr);

    QLineEdit* oldPasswordEdit() const { return old_; }
    QLineEdit* newPasswordEdit() const { return new_; }
    QLineEdit* confirmPasswordEdit() const { return confirm_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QLineEdit* old_;
    QLineEdit* new_;
    QLineEdit* confirm_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// The Modify Password command: for administrators and holders of "Change PassWord" (anyone else:
// nothing happens, nothing is shown). Runs the dialog; on OK checks the passwords, writes the
// logged-on user's record and shows the outcome ("Password don't match!…", "Password Error!",
// "Success…" or "Password Read Error!"). CANCEL ends the command.
void RunModifyPassword(QWidget* parent);
