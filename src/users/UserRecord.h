// The stored user and the ten rights bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t kUserFieldSize = 20; // name and password fields, terminating zero included
constexpr size_t kMaxUserText = 19;   // bytes of a name or password
constexpr size_t kUserRecordSize = 43;
constexpr int kMaxUsers = 99;

// One user as stored under "item%02d": 43 bytes, no header, no padding (then the password's
// hash; see UserStore.h).
struct UserRecord {
    char name[kUserFieldSize];     // zero-terminated
    char password[kUserFieldSize]; // zero-terminated; in memory the password to store, stored
                                   // empty with its hash after the record (UserStore.h)
    uint8_t isAdmin;               // 1 administrator, 0 operator
    uint8_t rightsLo;
    uint8_t rightsHi;

    uint16_t rights() const { return static_cast<uint16_t>(rightsLo | rightsHi << 8); }
    void setRights(uint16_t r) {
        rightsLo = static_cast<uint8_t>(r & 0xFF);
        rightsHi = static_cast<uint8_t>(r >> 8);
    }
};
static_assert(sizeof(UserRecord) == kUserRecordSize, "UserRecord must stay 43 bytes");

// Rights: rights = rightsLo + 256 * rightsHi. Administrators pass every check whatever they hold.
constexpr uint16_t kRightSelectFile = 0x0080;      // Select File, View File
constexpr uint16_t kRightDeleteFile = 0x0040;      // Delete File, Clear File
constexpr uint16_t kRightQueryNodeStatus = 0x0020; // Query Node
constexpr uint16_t kRightViewSoftNote = 0x0010;    // Soft Note
constexpr uint16_t kRightSendFile = 0x0008;
constexpr uint16_t kRightEditMachineInformation = 0x0004; // Machine Information
constexpr uint16_t kRightCancelTask = 0x0002;
constexpr uint16_t kRightSetSystemParameter = 0x0001; // Transfer Parameter
constexpr uint16_t kRightChangePassword = 0x8000;     // Modify Password
constexpr uint16_t kRightCloseSystem = 0x4000;        // closing the main window
constexpr uint16_t kAllRights = 0xC0FF;               // the ten bits above
constexpr uint16_t kDefaultOperatorRights = 0x00EE;

// The check boxes of the Right Setting dialog, in the order of its two columns.
struct RightBox {
    uint16_t mask;
    int controlId;
    const char* text;
};
constexpr RightBox kRightBoxes[10] = {
    {kRightCancelTask, 1027, "Cancel Task"},
    {kRightSetSystemParameter, 1028, "Set System Parameter"},
    {kRightViewSoftNote, 1045, "View Soft Note"},
    {kRightEditMachineInformation, 1037, "Edit Machine Information"},
    {kRightQueryNodeStatus, 1032, "Query Node Status"},
    {kRightSelectFile, 1039, "Select File"},
    {kRightSendFile, 1033, "Send File"},
    {kRightDeleteFile, 1036, "Delete File"},
    {kRightChangePassword, 1041, "Change PassWord"},
    {kRightCloseSystem, 1043, "Close System"},
};

// True when the text fits a name or password field: at most 19 bytes and no zero byte.
bool fitsUserField(std::string_view text);

// A record with the given fields; texts that do not fit are cut to 19 bytes. All bytes after the
// terminating zeros are zero.
UserRecord makeUserRecord(std::string_view name, std::string_view password, uint8_t isAdmin,
                          uint16_t rights);

// The name or password up to its first zero byte and at most 19 bytes; never reads past the field.
std::string userName(const UserRecord& r);
std::string userPassword(const UserRecord& r);

// True when both fields are terminated within their 20 bytes.
bool isWellFormed(const UserRecord& r);
