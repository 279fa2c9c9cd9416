#include "gui/kit/DialogButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

DialogButtons MakeDialogButtons(QDialog* dialog, const QString& acceptText,
                                const QString& cancelText, const QString& acceptName) {
    DialogButtons b;
    b.box = new QDialogButtonBox(dialog);
    b.accept = b.box->addButton(acceptText, QDialogButtonBox::AcceptRole);
    b.accept->setObjectName(acceptName);
    b.accept->setDefault(true);
    b.cancel = b.box->addButton(cancelText, QDialogButtonBox::RejectRole);
    b.cancel->setObjectName("cancel");
    QObject::connect(b.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return b;
}
