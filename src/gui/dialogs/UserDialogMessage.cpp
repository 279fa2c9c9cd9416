#include "gui/dialogs/UserDialogMessage.h"

#include "gui/kit/Prompter.h"

namespace {

Prompter::Icon iconOf(const DialogOutcome& outcome) {
    switch (outcome.icon) {
    case MessageIcon::kStop:
        return Prompter::Icon::Stop;
    case MessageIcon::kDanger:
        return Prompter::Icon::Danger;
    case MessageIcon::kNone:
        break;
    }
    return Prompter::Icon::None;
}

} // namespace

void ShowUserDialogMessage(QWidget* parent, const DialogOutcome& outcome) {
    if (outcome.message.empty())
        return;
    prompter().message(parent, QString::fromStdString(outcome.caption),
                       QString::fromStdString(outcome.message), iconOf(outcome));
}

bool AskUserDialogQuestion(QWidget* parent, const DialogOutcome& outcome) {
    return prompter().question(parent, QString::fromStdString(outcome.caption),
                               QString::fromStdString(outcome.message), iconOf(outcome));
}
