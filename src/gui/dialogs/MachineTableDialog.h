// The "Machine Information Setting Table" dialog: one row per node of both channels with its hide
// box, node number, port, machine and model; "Machine" and "Model" are edited in place. OK checks
// the 20-byte limit and saves the rows (store/MachineTable.h); each row keeps its channel and node
// index, so a channel with more than 32 nodes configured cannot shift the other channel's rows.
#pragma once

#include "store/MachineTable.h"

#include <QDialog>

#include <vector>

class DialogTableModel;
class DialogTableView;
class QPushButton;
class QWidget;

class MachineTableDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHideColumn = 0;
    static constexpr int kNodeColumn = 1;
    static constexpr int kChannelColumn = 2;
    static constexpr int kMachineColumn = 3;
    static constexpr int kModelColumn = 4;

    explicit MachineTableDialog(QWidget* parent = nullptr);

    DialogTableView* table() const { return table_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The rows as the operator has edited them.
    std::vector<MachineRow> editedRows() const;

private:
    void onOk();

    std::vector<MachineRow> rows_; // channel and node index of each row
    DialogTableModel* model_;
    DialogTableView* table_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// The Machine Information command: for administrators and holders of "Edit Machine Information"
// (anyone else: nothing happens, nothing is shown). True when OK changed the table; the caller
// then refills the node list.
bool RunMachineInformation(QWidget* parent);
