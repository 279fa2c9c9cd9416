#include "gui/dialogs/MachineTableDialog.h"

#include "gui/kit/DialogButtons.h"
#include "gui/kit/DialogTable.h"
#include "gui/kit/Prompter.h"
#include "station/StationTexts.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

MachineTableDialog::MachineTableDialog(QWidget* parent)
    : QDialog(parent), rows_(BuildMachineRows()) {
    setObjectName("MachineTableDialog");
    setWindowTitle(tr("Machine Information Setting Table"));

    model_ = new DialogTableModel({{tr("Hide"), 45},
                                   {tr("Node"), 55},
                                   {tr("Channel"), 55},
                                   {tr("Machine"), 205, true},
                                   {tr("Model"), 205, true}},
                                  true, this);
    QVector<QStringList> texts;
    for (const MachineRow& r : rows_)
        texts.append({QString(), QString::fromStdString(r.nodeText),
                      QString::fromStdString(r.channelText), QString::fromStdString(r.machine),
                      QString::fromStdString(r.model)});
    model_->setRows(texts);
    for (size_t i = 0; i < rows_.size(); ++i)
        model_->setChecked(static_cast<int>(i), rows_[i].hidden);

    table_ = new DialogTableView(tr("Machine Information Setting Table"), this);
    table_->setObjectName("machines");
    table_->setTableModel(model_);
    // A click on a cell of the focused row edits it, as does F2 or typing.
    table_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    table_->setMinimumWidth(table_->contentsWidthHint());
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             table_->verticalHeader()->defaultSectionSize() * 16);

    const DialogButtons buttons = MakeDialogButtons(this, tr("OK"), tr("CANCEL"));
    ok_ = buttons.accept;
    cancel_ = buttons.cancel;
    connect(ok_, &QPushButton::clicked, this, &MachineTableDialog::onOk);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons.box);
    table_->setFocus();
}

std::vector<MachineRow> MachineTableDialog::editedRows() const {
    std::vector<MachineRow> rows = rows_;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int r = static_cast<int>(i);
        rows[i].hidden = model_->isChecked(r);
        rows[i].machine = model_->cell(r, kMachineColumn).toStdString();
        rows[i].model = model_->cell(r, kModelColumn).toStdString();
    }
    return rows;
}

void MachineTableDialog::onOk() {
    table_->commitOpenEditor();
    const std::vector<MachineRow> rows = editedRows();
    MachineRowsCheck check;
    const bool saved = SaveMachineRows(rows, &check);
    if (!check.ok) {
        // Take the operator to the cell that is too long, after the message that names it.
        const MachineRow& bad = rows[static_cast<size_t>(check.row)];
        const bool machine = bad.machine.size() > kMachineTextMaxBytes;
        const std::string& cell = machine ? bad.machine : bad.model;
        prompter().message(this, QString::fromStdString(StationText(kIdsMachineTextCaption)),
                           QString::fromStdString(cell + StationText(kIdsMachineTextTooLong)));
        const int column = machine ? kMachineColumn : kModelColumn;
        table_->setCurrentIndex(model_->index(check.row, column));
        table_->setFocus();
        return;
    }
    if (!saved) {
        // Neither the file nor the table in memory took the rows: the dialog stays open with
        // them, to try again or to cancel.
        prompter().message(this, tr("Error"), tr("System Write Error!"), Prompter::Icon::Stop);
        return;
    }
    accept();
}

bool RunMachineInformation(QWidget* parent) {
    if (!hasRight(kRightEditMachineInformation))
        return false;
    MachineTableDialog dialog(parent);
    return prompter().exec(dialog) == QDialog::Accepted;
}
