#include "gui/dialogs/LogOnDialog.h"

#include "gui/dialogs/UserDialogMessage.h"
#include "gui/kit/ByteLengthValidator.h"
#include "gui/kit/DialogButtons.h"
#include "users/UserRecord.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogOnDialog::LogOnDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("LogOnDialog");
    setWindowTitle(tr("Log On"));
    setModal(true);

    auto* prompt = new QLabel(tr("Please Input Your PSW:"), this);
    name_ = new QLineEdit(this);
    name_->setObjectName("userName");
    LimitToBytes(name_, kMaxUserText);
    password_ = new QLineEdit(this);
    password_->setObjectName("password");
    LimitToBytes(password_, kMaxUserText);
    password_->setEchoMode(QLineEdit::Password);

    auto* nameLabel = new QLabel(tr("User Name:"), this);
    nameLabel->setBuddy(name_);
    name_->setAccessibleName(tr("User Name:"));
    auto* passwordLabel = new QLabel(tr("Password:"), this);
    passwordLabel->setBuddy(password_);
    password_->setAccessibleName(tr("Password:"));

    auto* form = new QFormLayout;
    form->addRow(nameLabel, name_);
    form->addRow(passwordLabel, password_);

    const DialogButtons buttons = MakeDialogButtons(this, tr("OK"), tr("CANCEL"));
    ok_ = buttons.accept;
    cancel_ = buttons.cancel;
    connect(ok_, &QPushButton::clicked, this, &LogOnDialog::onOk);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(form);
    layout->addWidget(buttons.box);
    name_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);
    name_->setFocus();
}

void LogOnDialog::keepUserName(const QString& name) {
    name_->setText(name);
    password_->clear();
    password_->setFocus();
}

void LogOnDialog::onOk() {
    result_ = logOnOk(name_->text().toStdString(), password_->text().toStdString());
    ShowUserDialogMessage(this, result_.outcome);
    accept();
}
