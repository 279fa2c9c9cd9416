// The Log On dialog: user name and password, OK and CANCEL. OK looks the user up (logOnOk in
// users/UserDialogs.h), shows "Name Or Password Error!" through the Prompter when refused, and
// closes in both cases; the caller reads accepted() and shows the dialog again at start-up.
#pragma once

#include "users/UserDialogs.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

class LogOnDialog : public QDialog {
    Q_OBJECT
public:
    explicit LogOnDialog(QWidget* parent = nullptr);

    // After OK: whether a user was accepted, with the class, rights and typed name.
    bool accepted() const { return result_.outcome.accepted; }
    const LogOnResult& result() const { return result_; }

    // After a refused try: the name typed then stands, and the password (empty) has the focus.
    void keepUserName(const QString& name);

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void onOk();

    QLineEdit* name_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPushButton* cancel_;
    LogOnResult result_;
};
