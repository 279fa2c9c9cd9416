#include "gui/dialogs/CancelTaskDialog.h"

#include "gui/kit/DialogButtons.h"
#include "gui/kit/DialogTable.h"
#include "station/StationTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

CancelTaskDialog::CancelTaskDialog(std::vector<CancelEntry> entries, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)) {
    setObjectName("CancelTaskDialog");
    setWindowTitle(tr("Cancel Task"));

    model_ =
        new DialogTableModel({{tr("Task"), 44}, {tr("Style"), 80}, {tr("Note"), 320}}, true, this);
    // The last entry on top: row r shows entry count - 1 - r.
    QVector<QStringList> rows;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        rows.append({QString::number(it->taskNo),
                     QString::fromStdString(StationText(TaskTypeTextId(it->type))),
                     QString::fromStdString(it->text)});
    model_->setRows(rows);

    list_ = new DialogTableView(tr("Tasks"), this);
    list_->setObjectName("tasks");
    list_->setTableModel(model_);
    list_->setMinimumWidth(list_->contentsWidthHint());
    list_->setMinimumHeight(list_->horizontalHeader()->sizeHint().height() +
                            list_->verticalHeader()->defaultSectionSize() * 10);

    selectAll_ = new QCheckBox(tr("Select All"), this);
    selectAll_->setObjectName("selectAll");
    connect(selectAll_, &QCheckBox::toggled, this, [this](bool on) {
        for (int r = 0; r < model_->rowCount(); ++r)
            model_->setChecked(r, on);
    });

    const DialogButtons buttons = MakeDialogButtons(this, tr("DELETE"), tr("CANCEL"), "delete");
    delete_ = buttons.accept;
    cancel_ = buttons.cancel;
    connect(delete_, &QPushButton::clicked, this, &CancelTaskDialog::onDelete);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(selectAll_);
    bottom->addStretch(1);
    bottom->addWidget(buttons.box);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
    list_->setFocus();
    if (model_->rowCount() > 0)
        list_->setCurrentIndex(model_->index(0, 0));
}

void CancelTaskDialog::onDelete() {
    const int count = static_cast<int>(entries_.size());
    for (int r = 0; r < model_->rowCount() && r < count; ++r)
        entries_[static_cast<size_t>(count - 1 - r)].ticked = model_->isChecked(r) ? 1 : 0;
    accept();
}

std::vector<int32_t> CancelTaskDialog::tickedTaskNumbers() const {
    std::vector<int32_t> out;
    for (const CancelEntry& e : entries_)
        if (e.ticked)
            out.push_back(e.taskNo);
    return out;
}
