#include "gui/dialogs/RightSettingDialog.h"

#include "gui/kit/DialogButtons.h"
#include "users/UserRecord.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

RightSettingDialog::RightSettingDialog(uint16_t preset, QWidget* parent) : QDialog(parent) {
    setObjectName("RightSettingDialog");
    setWindowTitle(tr("Right Setting"));

    // Five boxes a column, in the order of kRightBoxes: the left column first.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    for (int i = 0; i < 10; ++i) {
        const RightBox& r = kRightBoxes[i];
        boxes_[i] = new QCheckBox(tr(r.text), this);
        boxes_[i]->setObjectName(QStringLiteral("right%1").arg(r.controlId));
        boxes_[i]->setChecked((preset & r.mask) != 0);
        grid->addWidget(boxes_[i], i % 5, i / 5);
    }

    const DialogButtons buttons = MakeDialogButtons(this, tr("OK"), tr("CANCEL"));
    ok_ = buttons.accept;
    cancel_ = buttons.cancel;
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons.box);
    boxes_[0]->setFocus();
}

uint16_t RightSettingDialog::ticked() const {
    uint16_t mask = 0;
    for (int i = 0; i < 10; ++i)
        if (boxes_[i]->isChecked())
            mask |= kRightBoxes[i].mask;
    return mask;
}

QCheckBox* RightSettingDialog::box(uint16_t right) const {
    for (int i = 0; i < 10; ++i)
        if (kRightBoxes[i].mask == right)
            return boxes_[i];
    return nullptr;
}
