// The main window's message boxes, shared by the window and its panels: caption "Prompting",
// through the Prompter seam.
#pragma once

#include "gui/kit/Prompter.h"
#include "station/CommandRules.h"
#include "tasks/TransTask.h"

#include <QString>

class QWidget;

void StationMessage(QWidget* parent, const QString& text,
                    Prompter::Icon icon = Prompter::Icon::None);
// A Yes/No question; Icon::Danger for those whose Yes deletes or clears (No is the default).
bool StationQuestion(QWidget* parent, const QString& text,
                     Prompter::Icon icon = Prompter::Icon::Question);

// Logs and queues a send, delete or clear in `request` for the logged-on user; false, after
// saying why, when it was refused.
bool HandOverOrSay(QWidget* parent, LoggedCommand command, int channel, CTransTask& request);
