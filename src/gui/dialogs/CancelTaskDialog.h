// The "Cancel Task" dialog: the distinct pending tasks of the checked nodes (CollectCancelList),
// one row each with a check box, "Select All", "DELETE" and "CANCEL". Rows are in the reverse of
// the list's order (the last entry on top); "DELETE" marks the ticked rows' entries and closes
// with Accepted. The caller cancels tickedTaskNumbers() in batches (CancelTaskNumbers).
#pragma once

#include "tasks/TaskLayer.h"

#include <QDialog>

#include <vector>

class DialogTableModel;
class DialogTableView;
class QCheckBox;
class QPushButton;

class CancelTaskDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTaskColumn = 0;
    static constexpr int kStyleColumn = 1;
    static constexpr int kNoteColumn = 2;

    explicit CancelTaskDialog(std::vector<CancelEntry> entries, QWidget* parent = nullptr);

    DialogTableView* list() const { return list_; }
    QCheckBox* selectAllBox() const { return selectAll_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* cancelButton() const { return cancel_; }

    // The entries in list order; after "DELETE" the ticked ones have `ticked` set.
    const std::vector<CancelEntry>& entries() const { return entries_; }
    // The task numbers of the ticked entries, in list order.
    std::vector<int32_t> tickedTaskNumbers() const;

private:
    void onDelete();

    std::vector<CancelEntry> entries_;
    DialogTableModel* model_;
    DialogTableView* list_;
    QCheckBox* selectAll_;
    QPushButton* delete_;
    QPushButton* cancel_;
};
