#include "gui/dialogs/UserManagementDialog.h"

#include "gui/dialogs/UserDialogMessage.h"
#include "gui/dialogs/UserEditDialog.h"
#include "gui/kit/DialogTable.h"
#include "gui/kit/Prompter.h"
#include "users/UserTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

UserManagementDialog::UserManagementDialog(const std::vector<UserRow>& rows, QWidget* parent)
    : QDialog(parent) {
    setObjectName("UserManagementDialog");
    setWindowTitle(tr("User Management"));

    model_ = new DialogTableModel({{tr("User Name"), 100}, {tr("User Class"), 120}}, false, this);
    list_ = new DialogTableView(tr("Users"), this);
    list_->setObjectName("users");
    list_->setTableModel(model_);
    list_->setMinimumWidth(list_->contentsWidthHint());
    list_->setMinimumHeight(list_->verticalHeader()->defaultSectionSize() * 10);

    auto makeButton = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    add_ = makeButton(tr("Add"), "add");
    modify_ = makeButton(tr("Modify"), "modify");
    delete_ = makeButton(tr("Delete"), "delete");
    back_ = makeButton(tr("Back"), "back");
    back_->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(modify_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(back_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, &UserManagementDialog::onAdd);
    connect(modify_, &QPushButton::clicked, this, &UserManagementDialog::onModify);
    connect(delete_, &QPushButton::clicked, this, &UserManagementDialog::onDelete);
    connect(back_, &QPushButton::clicked, this, &QDialog::accept);

    fill(rows);
    list_->setFocus();
}

void UserManagementDialog::fill(const std::vector<UserRow>& rows) {
    QVector<QStringList> texts;
    for (const UserRow& r : rows)
        texts.append({QString::fromStdString(r.name), QString::fromStdString(r.userClass)});
    model_->setRows(texts);
}

void UserManagementDialog::onAdd() {
    UserEditDialog dialog(userManagementAdd(), this);
    prompter().exec(dialog);
    fill(userRows());
}

void UserManagementDialog::onModify() {
    const UserEditOpening opening = userManagementModify(list_->selectedRow());
    if (!opening.open) {
        ShowUserDialogMessage(this, opening.outcome);
        return;
    }
    UserEditDialog dialog(opening.state, this);
    prompter().exec(dialog);
}

void UserManagementDialog::onDelete() {
    const int row = list_->selectedRow();
    const DialogOutcome outcome = userManagementDelete(row);
    if (outcome.buttons != MessageButtons::kYesNo) {
        ShowUserDialogMessage(this, outcome);
        return;
    }
    if (!AskUserDialogQuestion(this, outcome))
        return;
    const bool deleted = userManagementDeleteConfirmed(row);
    // The list shows what the table holds, also when the record could not be removed.
    fill(userRows());
    if (!deleted)
        prompter().message(this, QString::fromStdString(userText(kIdsError)),
                           QString::fromStdString(userText(kIdsSystemWriteError)),
                           Prompter::Icon::Stop);
}

void RunUserManagement(QWidget* parent) {
    if (!canManageUsers())
        return;
    const UserManagementOpening opening = userManagementOpen();
    if (!opening.outcome.message.empty()) {
        ShowUserDialogMessage(parent, opening.outcome);
        return;
    }
    UserManagementDialog dialog(opening.rows, parent);
    prompter().exec(dialog);
}
