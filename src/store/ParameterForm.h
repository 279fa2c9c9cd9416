// What the Parameter Setting dialog decides: the entries it offers, what it selects on opening,
// the checks on OK and what OK writes. The dialog collects its fields into a ParameterForm, calls
// CheckParameterForm and, when that passes, SaveParameterValues; then it re-creates the centre.
//
// Every field is checked before anything is written: a bad value leaves Para.ini, Params() and
// the running centre as they were.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/SystemParameters.h"

// Control ids of the two channels' fields, used as focus targets.
constexpr int kPortField[SystemParameters::kChannels] = {1015, 1222};
constexpr int kNodeNumberField[SystemParameters::kChannels] = {1012, 1013};
constexpr int kSpeedField[SystemParameters::kChannels] = {1223, 1224};
constexpr int kFirstNumberField[SystemParameters::kChannels] = {1031, 1032};
constexpr int kModeField[SystemParameters::kChannels] = {1225, 1226};

constexpr int kSpeedEntryCount = 4;
constexpr int kModeEntryCount = 8;
// "19200 bps" … "115200 bps"; the index is the speed index.
extern const char* const kSpeedEntries[kSpeedEntryCount];
// "1" … "8"; the index is the mode index.
extern const char* const kModeEntries[kModeEntryCount];

// Messages of the checks. The caption is the one of every prompt of the station.
extern const char* const kParameterCaption;      // "Prompting"
extern const char* const kEnterIntegerText;      // "Please enter an integer."
extern const char* const kEnterIntegerRangeText; // "Please enter an integer between %1 and %2."
extern const char* const kParameterBusyText;     // "Task is doing, please waiting!"
extern const char* const kParameterWriteErrorCaption; // "Error"
extern const char* const kParameterWriteErrorText;    // "System Write Error, Modification Lost!"

// The first number is shown as first + index for indexes up to 31, which must stay an int32.
constexpr int32_t kMaxFirstNumber = INT32_MAX - (SystemParameters::kNodes - 1);

// The "COM Port:" entries: "COM1" … "COM9", and a configured device path (a name that begins with
// "/") as an entry of its own, so that confirming the dialog keeps it.
std::vector<std::string> PortEntries(const std::string& configured);
// The entry selected on opening: a device path selects its own entry; any other name the first
// entry that begins with it, without regard to case ("Com1" selects "COM1"). -1 when none does,
// and for an empty name (a channel that is not used stays unused).
int PortEntryIndex(const std::vector<std::string>& entries, const std::string& configured);

// The dialog's fields as the operator left them.
struct ParameterForm {
    std::vector<std::string> portEntries[SystemParameters::kChannels];
    int port[SystemParameters::kChannels] = {-1, -1}; // selected entry, -1 none
    std::string nodeNumber[SystemParameters::kChannels];
    int speed[SystemParameters::kChannels] = {-1, -1}; // selected entry, -1 none
    std::string firstNumber[SystemParameters::kChannels];
    int mode[SystemParameters::kChannels] = {-1, -1}; // selected entry, -1 none
};

// The fields on opening, from Params().
ParameterForm ParameterFormFromParams();

// The channel values OK stores.
struct ParameterValues {
    std::string comId[SystemParameters::kChannels];
    int32_t comSum[SystemParameters::kChannels] = {};
    int32_t comOne[SystemParameters::kChannels] = {};
    int32_t comSpeed[SystemParameters::kChannels] = {};
    int32_t comMode[SystemParameters::kChannels] = {};
};

struct ParameterCheck {
    bool ok = false;
    int field = 0;       // the first bad field (a k...Field id), 0 when ok
    std::string message; // as shown in English, numbers put in
    std::string caption;
    // The message's text before the numbers were put in ("%1", "%2"), and those numbers: a
    // translated edition translates the text, then puts them in.
    const char* messageText = nullptr;
    std::vector<std::string> messageArgs;
    ParameterValues values; // what OK stores, when ok
};

// An integer as the dialog's edits take it: blanks around, an optional sign, decimal digits, and
// within int32. False for anything else (empty, letters, "12a", an overflow).
bool ParseDialogInteger(const std::string& text, int32_t* value);

// OK's checks, field by field in the order the dialog takes them ("Node Number:" of both
// channels, then "First Number:" of both). Node counts are not range-checked: a channel whose
// count lies outside 1..32 is saved and stays closed. A port without a selection stores "" (that
// channel stays closed); a speed or mode without a selection keeps the value held now.
ParameterCheck CheckParameterForm(const ParameterForm& form);

// Writes the ten channel keys to Para.ini, then (only when that succeeded) sets them in Params().
// False, with nothing changed, when the file cannot be written.
bool SaveParameterValues(const ParameterValues& values);
