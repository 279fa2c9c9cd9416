#include "gui/dialogs/ParameterDialog.h"

#include "gui/kit/DialogButtons.h"
#include "gui/kit/Prompter.h"
#include "station/Centre.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString text(const char* english) {
    return ParameterDialog::tr(english);
}

void showBusy(QWidget* parent) {
    prompter().message(parent, text(kParameterCaption), text(kParameterBusyText));
}

} // namespace

ParameterDialog::ParameterDialog(QWidget* parent)
    : QDialog(parent), form_(ParameterFormFromParams()) {
    setObjectName("ParameterDialog");
    setWindowTitle(tr("Parameter Setting"));

    auto* groups = new QHBoxLayout;
    const QString titles[kChannels] = {tr("CHANNEL ONE"), tr("CHANNEL TWO")};
    for (int c = 0; c < kChannels; ++c) {
        const QString n = QString::number(c + 1);
        auto* group = new QGroupBox(titles[c], this);
        auto* form = new QFormLayout(group);
        auto add = [&](const QString& label, QWidget* field) {
            auto* l = new QLabel(label, group);
            l->setBuddy(field);
            field->setAccessibleName(label);
            // Both channels have the same labels: the description tells them apart.
            field->setAccessibleDescription(titles[c]);
            form->addRow(l, field);
        };

        port_[c] = new QComboBox(group);
        port_[c]->setObjectName("comPort" + n);
        for (const std::string& e : form_.portEntries[c])
            port_[c]->addItem(QString::fromStdString(e));
        port_[c]->setCurrentIndex(form_.port[c]);
        add(tr("COM Port:"), port_[c]);

        nodeNumber_[c] = new QLineEdit(QString::fromStdString(form_.nodeNumber[c]), group);
        nodeNumber_[c]->setObjectName("nodeNumber" + n);
        add(tr("Node Number:"), nodeNumber_[c]);

        speed_[c] = new QComboBox(group);
        speed_[c]->setObjectName("speed" + n);
        for (const char* e : kSpeedEntries)
            speed_[c]->addItem(tr(e));
        speed_[c]->setCurrentIndex(form_.speed[c]);
        add(tr("Speed:"), speed_[c]);

        firstNumber_[c] = new QLineEdit(QString::fromStdString(form_.firstNumber[c]), group);
        firstNumber_[c]->setObjectName("firstNumber" + n);
        add(tr("First Number:"), firstNumber_[c]);

        mode_[c] = new QComboBox(group);
        mode_[c]->setObjectName("mode" + n);
        for (const char* e : kModeEntries)
            mode_[c]->addItem(QString::fromLatin1(e));
        mode_[c]->setCurrentIndex(form_.mode[c]);
        add(tr("Mode:"), mode_[c]);

        groups->addWidget(group);
    }

    const DialogButtons buttons = MakeDialogButtons(this, tr("OK"), tr("CANCEL"));
    ok_ = buttons.accept;
    cancel_ = buttons.cancel;
    connect(ok_, &QPushButton::clicked, this, &ParameterDialog::onOk);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(buttons.box);
    port_[0]->setFocus();
}

QWidget* ParameterDialog::fieldWidget(int field) const {
    for (int c = 0; c < kChannels; ++c) {
        if (field == kPortField[c])
            return port_[c];
        if (field == kNodeNumberField[c])
            return nodeNumber_[c];
        if (field == kSpeedField[c])
            return speed_[c];
        if (field == kFirstNumberField[c])
            return firstNumber_[c];
        if (field == kModeField[c])
            return mode_[c];
    }
    return nullptr;
}

void ParameterDialog::onOk() {
    ParameterForm form = form_;
    for (int c = 0; c < kChannels; ++c) {
        form.port[c] = port_[c]->currentIndex();
        form.nodeNumber[c] = nodeNumber_[c]->text().toStdString();
        form.speed[c] = speed_[c]->currentIndex();
        form.firstNumber[c] = firstNumber_[c]->text().toStdString();
        form.mode[c] = mode_[c]->currentIndex();
    }
    const ParameterCheck check = CheckParameterForm(form);
    if (!check.ok) {
        // The message is translated before its numbers go in.
        QString message =
            text(check.messageText != nullptr ? check.messageText : check.message.c_str());
        for (const std::string& arg : check.messageArgs)
            message = message.arg(QString::fromStdString(arg));
        prompter().message(this, text(check.caption.c_str()), message);
        if (QWidget* w = fieldWidget(check.field)) {
            w->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(w))
                edit->selectAll();
        }
        return;
    }
    // Re-creating the centre drops every queued task and node note: never behind the back of
    // work that started after the command's own check.
    if (CentreBusy()) {
        showBusy(this);
        return;
    }
    if (!SaveParameterValues(check.values)) {
        prompter().message(this, text(kParameterWriteErrorCaption), text(kParameterWriteErrorText),
                           Prompter::Icon::Stop);
        return;
    }
    openResult_ = StartCentreFromParameters();
    accept();
}

bool RunParameterSetting(QWidget* parent, int* openResult) {
    if (!hasRight(kRightSetSystemParameter))
        return false;
    if (CentreBusy()) {
        showBusy(parent);
        return false;
    }
    ParameterDialog dialog(parent);
    if (prompter().exec(dialog) != QDialog::Accepted || dialog.openResult() < 0)
        return false;
    if (openResult)
        *openResult = dialog.openResult();
    return true;
}
