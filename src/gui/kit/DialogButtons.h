// The row of buttons at the foot of the station's dialogs: an accepting button ("OK", or Cancel
// Task's "DELETE"), which is the default, and "CANCEL", which rejects the dialog. The texts come
// in already translated, so each stays in the catalogue context of the dialog that shows it.
#pragma once

#include <QDialogButtonBox>
#include <QString>

class QDialog;
class QPushButton;

struct DialogButtons {
    QDialogButtonBox* box = nullptr;
    QPushButton* accept = nullptr; // object name `acceptName`; the dialog connects its click
    QPushButton* cancel = nullptr; // object name "cancel"; rejects the dialog
};

DialogButtons MakeDialogButtons(QDialog* dialog, const QString& acceptText,
                                const QString& cancelText, const QString& acceptName = "ok");
