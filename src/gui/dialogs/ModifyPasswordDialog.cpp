#include "gui/dialogs/ModifyPasswordDialog.h"

#include "gui/dialogs/UserDialogMessage.h"
#include "gui/kit/ByteLengthValidator.h"
#include "gui/kit/DialogButtons.h"
#include "gui/kit/Prompter.h"
#include "users/UserDialogs.h"
#include "users/UserRecord.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ModifyPasswordDialog::ModifyPasswordDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ModifyPasswordDialog");
    setWindowTitle(tr("Modify Password"));

    auto* prompt = new QLabel(tr("Please Input:"), this);
    auto* form = new QFormLayout;
    auto field = [&](const QString& text, const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setEchoMode(QLineEdit::Password);
        LimitToBytes(edit, kMaxUserText);
        edit->setAccessibleName(text);
        auto* label = new QLabel(text, this);
        label->setBuddy(edit);
        form->addRow(label, edit);
        return edit;
    };
    old_ = field(tr("Old Password:"), "oldPassword");
    new_ = field(tr("New Password:"), "newPassword");
    confirm_ = field(tr("Confirm Password:"), "confirmPassword");
    old_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);

    const DialogButtons buttons = MakeDialogButtons(this, tr("OK"), tr("CANCEL"));
    ok_ = buttons.accept;
    cancel_ = buttons.cancel;
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(form);
    layout->addWidget(buttons.box);
    old_->setFocus();
}

void RunModifyPassword(QWidget* parent) {
    if (!canModifyPassword())
        return;
    ModifyPasswordDialog dialog(parent);
    if (prompter().exec(dialog) != QDialog::Accepted)
        return;
    ShowUserDialogMessage(parent,
                          modifyPasswordOk(dialog.oldPasswordEdit()->text().toStdString(),
                                           dialog.newPasswordEdit()->text().toStdString(),
                                           dialog.confirmPasswordEdit()->text().toStdString()));
}
