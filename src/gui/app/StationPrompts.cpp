#include "gui/app/StationPrompts.h"

#include "users/CurrentUser.h"

#include <QCoreApplication>

namespace {

// The texts belong to the main window's context in the catalogues.
QString text(const char* source) {
    return QCoreApplication::translate("CTransferDlg", source);
}

} // namespace

void StationMessage(QWidget* parent, const QString& message, Prompter::Icon icon) {
    prompter().message(parent, text(QT_TRANSLATE_NOOP("CTransferDlg", "Prompting")), message, icon);
}

bool StationQuestion(QWidget* parent, const QString& question, Prompter::Icon icon) {
    return prompter().question(parent, text(QT_TRANSLATE_NOOP("CTransferDlg", "Prompting")),
                               question, icon);
}

bool HandOverOrSay(QWidget* parent, LoggedCommand command, int channel, CTransTask& request) {
    std::string reason;
    switch (LogAndQueue(command, channel, request, CurrentUser.userName, &reason)) {
    case HandOver::Queued:
        return true;
    case HandOver::LogUnwritable:
        StationMessage(
            parent,
            text(QT_TRANSLATE_NOOP("CTransferDlg", "Nothing was done: the event log cannot be "
                                                   "written.\n%1"))
                .arg(QString::fromStdString(reason)),
            Prompter::Icon::Stop);
        return false;
    case HandOver::LogFailed:
        StationMessage(parent,
                       text(QT_TRANSLATE_NOOP("CTransferDlg",
                                              "Nothing was done: writing the event log failed.")),
                       Prompter::Icon::Stop);
        return false;
    case HandOver::NotQueued:
        StationMessage(parent,
                       text(QT_TRANSLATE_NOOP("CTransferDlg",
                                              "Nothing was done: the channel takes no tasks.")),
                       Prompter::Icon::Stop);
        return false;
    }
    return false;
}
