// The Soft Note dialog: queries one channel's event log of a day by user, event type and node,
// lists the matching records and, for the chosen record, its files. The rules are in
// store/SoftNote.h; the dialog collects the conditions and shows the results.
#pragma once

#include "store/SoftNote.h"

#include <QDialog>

#include <vector>

class DialogTableModel;
class DialogTableView;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

class SoftNoteDialog : public QDialog {
    Q_OBJECT
public:
    explicit SoftNoteDialog(QWidget* parent = nullptr);

    DialogTableView* recordsList() const { return records_; }
    DialogTableView* filesList() const { return files_; }
    QLineEdit* userEdit() const { return user_; }
    QComboBox* eventBox() const { return event_; }
    QComboBox* nodeBox() const { return node_; }
    QComboBox* channelBox() const { return channel_; }
    QComboBox* dayBox() const { return day_; }
    QPushButton* queryButton() const { return query_; }
    QLineEdit* recordNumberEdit() const { return recordNumber_; }
    QPushButton* exitButton() const { return exit_; }

private:
    void onQuery();
    void showFilesOfSelectedRecord();

    std::vector<SoftNoteDay> days_;
    SoftNoteResult result_;
    DialogTableModel* recordsModel_;
    DialogTableModel* filesModel_;
    DialogTableView* records_;
    DialogTableView* files_;
    QLineEdit* user_;
    QComboBox* event_;
    QComboBox* node_;
    QComboBox* channel_;
    QComboBox* day_;
    QPushButton* query_;
    QLineEdit* recordNumber_;
    QPushButton* exit_;
};

// The Soft Note command: for administrators and holders of "View Soft Note" (anyone else: nothing
// happens, nothing is shown).
void RunSoftNote(QWidget* parent);
