// What the user dialogs decide: Log On, Modify Password, User Management, Add / Modify User and
// Right Setting. The windows only collect their fields, call these functions and show what they
// return; every check, its order, its message and its effect on the table and the log-on state
// lives here.
#pragma once

#include "users/UserRecord.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Control ids, used as focus targets.
constexpr int kLogOnNameField = 1061;
constexpr int kLogOnPasswordField = 1063;
constexpr int kOldPasswordField = 1029;
constexpr int kNewPasswordField = 1030;
constexpr int kConfirmPasswordField = 1034;
constexpr int kUserNameField = 1094;
constexpr int kUserPasswordField = 1058;
constexpr int kUserConfirmField = 1055;
constexpr int kAdministratorButton = 1095;
constexpr int kOperatorButton = 1018;
constexpr int kDetailButton = 1021;

// kDanger: a question whose Yes destroys something; No is its default button.
enum class MessageIcon { kNone, kStop, kDanger };
enum class MessageButtons { kOk, kYesNo };

// The result of pressing a button: the message box to show (if any) and what the dialog does.
struct DialogOutcome {
    bool accepted = false; // the action took effect (log-on accepted, table written)
    int messageId = 0;     // 0: no message box
    std::string message;
    int captionId = 0; // 0: empty caption
    std::string caption;
    MessageIcon icon = MessageIcon::kNone;
    MessageButtons buttons = MessageButtons::kOk;
    bool closeDialog = true; // false: the dialog stays open
    int focusField = 0;      // control that gets the focus when it stays open; 0: unchanged
};

// ---- Log On ----
struct LogOnResult {
    DialogOutcome outcome; // closes in both cases
    uint8_t isAdmin = 0;
    uint16_t rights = 0;
    std::string userName; // the typed name
};
// OK: looks the user up; a user table that exists but cannot be read refuses with "Password Read
// Error!" (never with the default administrator). When accepted, CurrentUser's rights are set at
// once; the caller then completes the log-on with logOn(result.userName, result.isAdmin)
// (CurrentUser.h). At start-up the caller shows the dialog again after each refusal and ends the
// program on CANCEL.
LogOnResult logOnOk(std::string_view name, std::string_view password);

// ---- Modify Password ----
// Whether the command may run at all (a refusal shows nothing).
bool canModifyPassword();
// OK: checks and writes the logged-on user's new password. The dialog closes in every case.
DialogOutcome modifyPasswordOk(std::string_view oldPassword, std::string_view newPassword,
                               std::string_view confirmPassword);

// ---- User Management ----
struct UserRow {
    std::string name;      // column 1, width 100
    std::string userClass; // column 2, width 120: "Administrator" or "Operator"
};
struct UserManagementOpening {
    DialogOutcome outcome; // closeDialog: a failure message was set and the dialog closes
    std::vector<UserRow> rows;
};
// Whether the command may run at all: administrators only.
bool canManageUsers();
// Opening: creates the table (count 0) when it does not exist. A table that exists but cannot be
// read is left alone: "Password Read Error!" and the dialog closes.
UserManagementOpening userManagementOpen();
// The rows in record order (row r is record r + 1); used again after Add.
std::vector<UserRow> userRows();

// ---- Add / Modify User ----
struct UserEditState {
    bool modifyMode = false;
    UserRecord record{}; // the record being modified; dropped on CANCEL
    bool titleModify = false;
    bool administratorSelected = false;
    bool operatorEnabled = true;
};
struct UserEditView {
    std::string title;
    std::string name; // preset text of the user name box
    bool nameReadOnly = false;
    bool administratorChecked = false;
    bool operatorChecked = false;
    bool operatorEnabled = true;
    bool detailEnabled = true;
    int focusField = 0;
};

// "Add": prepares the default operator rights and the add-mode state; rebuild the list after.
UserEditState userManagementAdd();
// "Modify": row -1 when none is selected.
struct UserEditOpening {
    DialogOutcome outcome; // a message when the edit dialog does not open
    bool open = false;
    UserEditState state;
};
UserEditOpening userManagementModify(int row);
// "Delete": row -1 when none is selected. Returns either a message (buttons kOk) or the question
// to ask (buttons kYesNo); on Yes call userManagementDeleteConfirmed and remove the row.
DialogOutcome userManagementDelete(int row);
bool userManagementDeleteConfirmed(int row);

UserEditView userEditView(const UserEditState& state);
void userEditClickAdministrator(UserEditState& state);
void userEditClickOperator(UserEditState& state);
// OK. In modify mode `name` is ignored: the record keeps its name.
DialogOutcome userEditOk(UserEditState& state, std::string_view name, std::string_view password,
                         std::string_view confirm);

// ---- Right Setting ("Detail") ----
// Ticked boxes as a mask of kRight... bits: the record's rights in modify mode (all ten for an
// administrator), none in add mode.
uint16_t rightSettingPreset(const UserEditState& state);
// OK with the ticked boxes; CANCEL changes nothing.
void rightSettingOk(UserEditState& state, uint16_t ticked);
