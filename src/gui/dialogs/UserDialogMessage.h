// How the user dialogs show an outcome of users/UserDialogs.h: through the Prompter, with the
// outcome's text, caption and icon.
#pragma once

#include "users/UserDialogs.h"

class QWidget;

// Shows the outcome's message box, when it has one.
void ShowUserDialogMessage(QWidget* parent, const DialogOutcome& outcome);
// Asks the outcome's Yes/No question; true for Yes.
bool AskUserDialogQuestion(QWidget* parent, const DialogOutcome& outcome);
