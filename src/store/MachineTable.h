// The machine table: per node of both channels a machine name, a model and a hide flag, kept in
// Params() and in "RTU.ini" (sections "RTU_PARA1", "RTU_PARA2") in the working folder. The
// "Machine Information Setting Table" dialog is a thin view over the plain functions below.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t kMachineTextMaxBytes = 20;
extern const char* const kMachineTextTooLong; // follows the offending text in the message
extern const char* const kMachineTextCaption;

std::string MachineTablePath(); // workDir + "/RTU.ini"

// Reads RTU.ini into Params(), first creating it with the defaults when it does not exist. False
// when it can be neither read nor created (the table then stays as it was).
bool LoadMachineTable();
// Creates RTU.ini with 192 keys: per node index 0..31 "RTU_Name", "RTU_Type" (empty) and
// "RTU_Visible" (0), in "RTU_PARA1" then "RTU_PARA2". The table in memory is not changed.
bool WriteDefaultMachineTable();

// One row of the dialog.
struct MachineRow {
    int channel = 0;         // 0 or 1
    int node = 0;            // node index within the channel
    bool hidden = false;     // the row's check box ("Hide")
    std::string nodeText;    // "Node": first number + index, "%003d"
    std::string channelText; // "Channel": the channel's port name
    std::string machine;     // "Machine"
    std::string model;       // "Model"
};

// Rows of channel 1 then channel 2, at most 32 per channel; a count outside 0..32 is clamped.
std::vector<MachineRow> BuildMachineRows();
// Number of rows a channel gets (its node count clamped to 0..32).
int MachineRowCount(int channel);

struct MachineRowsCheck {
    bool ok = true;
    int row = -1;        // first offending row
    std::string message; // the cell text followed by kMachineTextTooLong
    std::string caption; // kMachineTextCaption
};

// The first row whose "Machine" (checked first) or "Model" text is longer than 20 bytes.
MachineRowsCheck ValidateMachineRows(const std::vector<MachineRow>& rows);

// The dialog's OK: validates, then writes "RTU_Name", "RTU_Type", "RTU_Visible" of each row, in
// row order, in one write, and only when that write succeeded stores every row's texts and tick
// in Params(). Nothing is saved when validation fails (check tells why). False also when the file
// cannot be written; the table in memory then stays as it was.
bool SaveMachineRows(const std::vector<MachineRow>& rows, MachineRowsCheck* check = nullptr);
