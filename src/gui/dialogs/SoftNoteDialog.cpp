#include "gui/dialogs/SoftNoteDialog.h"

#include "gui/kit/DialogTable.h"
#include "gui/kit/Prompter.h"
#include "users/CurrentUser.h"
#include "users/UserRecord.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void addField(QFormLayout* form, QWidget* owner, const QString& text, QWidget* field) {
    auto* label = new QLabel(text, owner);
    label->setBuddy(field);
    field->setAccessibleName(text);
    form->addRow(label, field);
}

} // namespace

SoftNoteDialog::SoftNoteDialog(QWidget* parent) : QDialog(parent), days_(SoftNoteDays()) {
    setObjectName("SoftNoteDialog");
    setWindowTitle(tr("Soft Note"));

    filesModel_ = new DialogTableModel(
        {{tr("No."), 60}, {tr("Node"), 60}, {tr("FileName"), 110}, {tr("Path"), 500, false, false}},
        false, this);
    files_ = new DialogTableView(tr("Files"), this);
    files_->setObjectName("files");
    files_->setTableModel(filesModel_);
    files_->setMinimumWidth(files_->contentsWidthHint());
    files_->setMinimumHeight(files_->verticalHeader()->defaultSectionSize() * 10);

    recordsModel_ = new DialogTableModel({{tr("User"), 80}, {tr("Time"), 150}, {tr("Event"), 100}},
                                         false, this);
    records_ = new DialogTableView(tr("Records"), this);
    records_->setObjectName("records");
    records_->setTableModel(recordsModel_);
    records_->setMinimumWidth(records_->contentsWidthHint());

    user_ = new QLineEdit(this);
    user_->setObjectName("userName");
    event_ = new QComboBox(this);
    event_->setObjectName("eventType");
    for (const char* e : kEventTypeEntries)
        event_->addItem(tr(e));
    node_ = new QComboBox(this);
    node_->setObjectName("node");
    for (int n = 0; n < kEventLogNodes; ++n)
        node_->addItem(QString::number(n));
    channel_ = new QComboBox(this);
    channel_->setObjectName("channel");
    for (const char* c : kChannelEntries)
        channel_->addItem(tr(c));
    // The station keeps earlier days in log/: today unless the operator picks another.
    day_ = new QComboBox(this);
    day_->setObjectName("day");
    for (const SoftNoteDay& d : days_)
        day_->addItem(QString::fromStdString(d.label));
    query_ = new QPushButton(tr("Query"), this);
    query_->setObjectName("query");
    query_->setDefault(true);

    auto* condition = new QGroupBox(tr("Query Condition"), this);
    auto* conditionForm = new QFormLayout;
    addField(conditionForm, this, tr("User Name:"), user_);
    addField(conditionForm, this, tr("Event Type:"), event_);
    addField(conditionForm, this, tr("Node:"), node_);
    addField(conditionForm, this, tr("Channel:"), channel_);
    addField(conditionForm, this, tr("Day:"), day_);
    auto* conditionLayout = new QVBoxLayout(condition);
    conditionLayout->addLayout(conditionForm);
    conditionLayout->addWidget(query_, 0, Qt::AlignRight);

    recordNumber_ = new QLineEdit(this);
    recordNumber_->setObjectName("recordNumber");
    recordNumber_->setReadOnly(true);
    auto* result = new QGroupBox(tr("Query Result"), this);
    auto* resultForm = new QFormLayout(result);
    addField(resultForm, this, tr("Record Number:"), recordNumber_);

    exit_ = new QPushButton(tr("EXIT"), this);
    exit_->setObjectName("exit");
    exit_->setAutoDefault(false);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(query_, &QPushButton::clicked, this, &SoftNoteDialog::onQuery);
    connect(records_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SoftNoteDialog::showFilesOfSelectedRecord);
    connect(records_, &QAbstractItemView::clicked, this,
            &SoftNoteDialog::showFilesOfSelectedRecord);

    auto* side = new QVBoxLayout;
    side->addWidget(condition);
    side->addWidget(result);
    side->addStretch(1);
    side->addWidget(exit_, 0, Qt::AlignRight);
    auto* lower = new QHBoxLayout;
    lower->addWidget(records_, 1);
    lower->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(files_, 3);
    layout->addLayout(lower, 2);

    // Keyboard order: the conditions first, then the results.
    setTabOrder(user_, event_);
    setTabOrder(event_, node_);
    setTabOrder(node_, channel_);
    setTabOrder(channel_, day_);
    setTabOrder(day_, query_);
    setTabOrder(query_, records_);
    setTabOrder(records_, files_);
    setTabOrder(files_, recordNumber_);
    setTabOrder(recordNumber_, exit_);
    user_->setFocus();
}

void SoftNoteDialog::onQuery() {
    SoftNoteQuery q;
    q.user = user_->text().toStdString();
    q.event = event_->currentIndex();
    q.node = node_->currentIndex();
    q.channel = channel_->currentIndex();
    const int day = day_->currentIndex();
    q.day = (day >= 0 && static_cast<size_t>(day) < days_.size()) ? days_[static_cast<size_t>(day)]
                                                                  : SoftNoteToday();
    result_ = RunSoftNoteQuery(q);

    QVector<QStringList> rows;
    for (const EventRecord& r : result_.records)
        rows.append({QString::fromStdString(r.user), QString::fromStdString(r.time),
                     tr(EventTypeText(r.event).c_str())});
    recordsModel_->setRows(rows);
    // The files list waits for a record to be chosen.
    filesModel_->clear();
    recordNumber_->setText(QString::number(result_.records.size()));
}

void SoftNoteDialog::showFilesOfSelectedRecord() {
    QVector<QStringList> rows;
    int n = 0;
    for (const EventFileEntry& e : SoftNoteRecordFiles(result_, records_->selectedRow()))
        rows.append({QString::number(n++), QString::number(e.node), QString::fromStdString(e.name),
                     QString::fromStdString(e.path)});
    filesModel_->setRows(rows);
}

void RunSoftNote(QWidget* parent) {
    if (!hasRight(kRightViewSoftNote))
        return;
    SoftNoteDialog dialog(parent);
    prompter().exec(dialog);
}
