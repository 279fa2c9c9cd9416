#include "gui/dialogs/UserEditDialog.h"

#include "gui/dialogs/RightSettingDialog.h"
#include "gui/dialogs/UserDialogMessage.h"
#include "gui/kit/ByteLengthValidator.h"
#include "gui/kit/DialogButtons.h"
#include "gui/kit/Prompter.h"
#include "users/UserRecord.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLineEdit* userField(QWidget* parent, const char* objectName, bool masked) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    LimitToBytes(edit, kMaxUserText);
    if (masked)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

UserEditDialog::UserEditDialog(UserEditState state, QWidget* parent)
    : QDialog(parent), state_(std::move(state)) {
    setObjectName("UserEditDialog");

    auto* prompt = new QLabel(tr("Please Input:"), this);
    name_ = userField(this, "userName", false);
    password_ = userField(this, "password", true);
    confirm_ = userField(this, "confirmPassword", true);

    auto* form = new QFormLayout;
    const std::pair<QString, QLineEdit*> rows[] = {
        {tr("User Name:"), name_}, {tr("Password:"), password_}, {tr("Confirm PSW:"), confirm_}};
    for (const auto& [text, edit] : rows) {
        auto* label = new QLabel(text, this);
        label->setBuddy(edit);
        edit->setAccessibleName(text);
        form->addRow(label, edit);
    }
    name_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);

    // The class buttons are each a group of their own: which one is on is decided below them.
    auto* group = new QGroupBox(tr("Right Setting"), this);
    administrator_ = new QRadioButton(tr("Administrator"), group);
    administrator_->setObjectName("administrator");
    administrator_->setAutoExclusive(false);
    operator_ = new QRadioButton(tr("Operator"), group);
    operator_->setObjectName("operator");
    operator_->setAutoExclusive(false);
    detail_ = new QPushButton(tr("Detail"), group);
    detail_->setObjectName("detail");
    detail_->setAutoDefault(false);
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(administrator_);
    groupLayout->addWidget(operator_);
    groupLayout->addStretch(1);
    groupLayout->addWidget(detail_);

    const DialogButtons buttons = MakeDialogButtons(this, tr("OK"), tr("CANCEL"));
    ok_ = buttons.accept;
    cancel_ = buttons.cancel;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addWidget(buttons.box);

    connect(administrator_, &QRadioButton::clicked, this, [this] {
        userEditClickAdministrator(state_);
        refresh();
    });
    connect(operator_, &QRadioButton::clicked, this, [this] {
        userEditClickOperator(state_);
        refresh();
    });
    connect(detail_, &QPushButton::clicked, this, &UserEditDialog::onDetail);
    connect(ok_, &QPushButton::clicked, this, &UserEditDialog::onOk);

    const UserEditView view = userEditView(state_);
    setWindowTitle(QString::fromStdString(view.title));
    name_->setText(QString::fromStdString(view.name));
    name_->setReadOnly(view.nameReadOnly);
    refresh();
    if (view.focusField != 0)
        fieldWidget(view.focusField)->setFocus();
    else
        password_->setFocus();
}

void UserEditDialog::refresh() {
    const UserEditView view = userEditView(state_);
    administrator_->setChecked(view.administratorChecked);
    operator_->setChecked(view.operatorChecked);
    operator_->setEnabled(view.operatorEnabled);
    detail_->setEnabled(view.detailEnabled);
}

QWidget* UserEditDialog::fieldWidget(int field) const {
    switch (field) {
    case kUserNameField:
        return name_;
    case kUserPasswordField:
        return password_;
    case kUserConfirmField:
        return confirm_;
    case kAdministratorButton:
        return administrator_;
    case kOperatorButton:
        return operator_;
    case kDetailButton:
        return detail_;
    default:
        return nullptr;
    }
}

void UserEditDialog::onDetail() {
    RightSettingDialog dialog(rightSettingPreset(state_), this);
    if (prompter().exec(dialog) == QDialog::Accepted)
        rightSettingOk(state_, dialog.ticked());
}

void UserEditDialog::onOk() {
    const DialogOutcome outcome =
        userEditOk(state_, name_->text().toStdString(), password_->text().toStdString(),
                   confirm_->text().toStdString());
    ShowUserDialogMessage(this, outcome);
    if (!outcome.closeDialog) {
        if (QWidget* w = fieldWidget(outcome.focusField)) {
            w->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(w))
                edit->selectAll();
        }
        return;
    }
    done(outcome.accepted ? QDialog::Accepted : QDialog::Rejected);
}
