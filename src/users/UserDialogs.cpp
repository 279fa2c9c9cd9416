#include "users/UserDialogs.h"

#include "users/CurrentUser.h"
#include "users/UserStore.h"
#include "users/UserTexts.h"

namespace {

DialogOutcome message(int textId, int captionId, MessageIcon icon = MessageIcon::kNone) {
    DialogOutcome o;
    o.messageId = textId;
    o.message = userText(textId);
    o.captionId = captionId;
    o.caption = userText(captionId);
    o.icon = icon;
    return o;
}

DialogOutcome stayOpen(DialogOutcome o, int focusField) {
    o.closeDialog = false;
    o.focusField = focusField;
    return o;
}

DialogOutcome chooseUserFirst() {
    DialogOutcome o = message(kIdsChooseUserFirst, kIdsError);
    o.closeDialog = false;
    return o;
}

bool validRow(int row, int count) {
    return row >= 0 && row < count;
}

} // namespace

LogOnResult logOnOk(std::string_view name, std::string_view password) {
    LogOnResult result;
    result.userName = std::string(name);
    if (FindUser(name, password, &result.isAdmin, &result.rights) < 1) {
        // A table that cannot be read admits nobody, and says so rather than blaming the input.
        result.outcome = userTableState() == UserTableState::kUnreadable
                             ? message(kIdsPasswordReadError, kIdsError, MessageIcon::kStop)
                             : message(kIdsNameOrPasswordError, kIdsError);
        return result;
    }
    result.outcome.accepted = true;
    CurrentUser.rightsLo = static_cast<uint8_t>(result.rights & 0xFF);
    CurrentUser.rightsHi = static_cast<uint8_t>(result.rights >> 8);
    return result;
}

bool canModifyPassword() {
    return hasRight(kRightChangePassword);
}

DialogOutcome modifyPasswordOk(std::string_view oldPassword, std::string_view newPassword,
                               std::string_view confirmPassword) {
    if (newPassword != confirmPassword)
        return message(kIdsPasswordMismatch, kIdsRetry);
    // Cutting a longer password to its field would store one the user never typed.
    if (!fitsUserField(newPassword))
        return message(kIdsNameOrPasswordTooLong, kIdsError, MessageIcon::kStop);
    if (FindUser(CurrentUser.userName, oldPassword) < 1)
        return message(userTableState() == UserTableState::kUnreadable ? kIdsPasswordReadError
                                                                       : kIdsPasswordError,
                       kIdsError, MessageIcon::kStop);
    if (changePassword(newPassword) != UserChange::kOk)
        return message(kIdsPasswordReadError, kIdsError, MessageIcon::kStop);
    DialogOutcome o = message(kIdsPasswordChanged, kIdsOk);
    o.accepted = true;
    return o;
}

bool canManageUsers() {
    return isAdministrator();
}

UserManagementOpening userManagementOpen() {
    UserManagementOpening opening;
    opening.outcome.closeDialog = false;
    // A table that cannot be read is neither listed nor replaced by an empty one.
    if (userTableState() != UserTableState::kReadable && !createUserTable()) {
        opening.outcome = message(kIdsPasswordReadError, kIdsError, MessageIcon::kStop);
        return opening;
    }
    opening.rows = userRows();
    return opening;
}

std::vector<UserRow> userRows() {
    std::vector<UserRow> rows;
    for (const UserListEntry& e : listUsers())
        rows.push_back({e.name, userText(e.isAdmin ? kIdsAdministrator : kIdsOperator)});
    return rows;
}

UserEditState userManagementAdd() {
    CurrentUser.setNewRights(kDefaultOperatorRights);
    return UserEditState{};
}

UserEditOpening userManagementModify(int row) {
    UserEditOpening opening;
    if (!validRow(row, static_cast<int>(listUsers().size()))) {
        opening.outcome = chooseUserFirst();
        return opening;
    }
    // A damaged record opens with what can be read of it; saving it then finds no such user.
    UserRecord r;
    if (!readUserRecord(row + 1, r)) {
        std::vector<UserListEntry> list = listUsers();
        r = makeUserRecord(list[static_cast<size_t>(row)].name, "",
                           list[static_cast<size_t>(row)].isAdmin ? 1 : 0, 0);
    }
    opening.open = true;
    opening.outcome.closeDialog = false;
    opening.state.modifyMode = true;
    opening.state.record = r;
    opening.state.titleModify = true;
    opening.state.administratorSelected = r.isAdmin != 0;
    opening.state.operatorEnabled = r.isAdmin == 0;
    return opening;
}

DialogOutcome userManagementDelete(int row) {
    std::vector<UserListEntry> list = listUsers();
    if (!validRow(row, static_cast<int>(list.size())))
        return chooseUserFirst();
    const std::string& name = list[static_cast<size_t>(row)].name;
    if (name == CurrentUser.userName) {
        DialogOutcome o = message(kIdsCannotDeleteYourself, kIdsError);
        o.closeDialog = false;
        return o;
    }
    DialogOutcome o = message(kIdsConfirmDeleteUser, kIdsOk, MessageIcon::kDanger);
    o.message = userText(kIdsConfirmDeleteUser) + name + " ?";
    o.buttons = MessageButtons::kYesNo;
    o.closeDialog = false;
    return o;
}

bool userManagementDeleteConfirmed(int row) {
    return row >= 0 && deleteUser(row + 1) == UserChange::kOk;
}

UserEditView userEditView(const UserEditState& state) {
    UserEditView v;
    v.title = userText(state.titleModify ? kIdsModifyUser : kIdsAddUser);
    v.administratorChecked = state.administratorSelected;
    v.operatorChecked = !state.administratorSelected;
    v.operatorEnabled = state.operatorEnabled;
    v.detailEnabled = !state.administratorSelected;
    if (state.modifyMode) {
        v.name = userName(state.record);
        v.nameReadOnly = true;
    } else {
        v.focusField = kUserNameField;
    }
    return v;
}

void userEditClickAdministrator(UserEditState& state) {
    state.administratorSelected = true;
}

void userEditClickOperator(UserEditState& state) {
    if (state.operatorEnabled)
        state.administratorSelected = false;
}

namespace {

DialogOutcome userEditAdd(std::string_view name, std::string_view password,
                          std::string_view confirm, bool administrator) {
    if (password.empty() || name.empty())
        return stayOpen(message(kIdsBlankNameOrPassword, kIdsError, MessageIcon::kStop),
                        kUserNameField);
    // The fields hold 19 bytes; a longer text is refused, never cut.
    if (!fitsUserField(name))
        return stayOpen(message(kIdsNameOrPasswordTooLong, kIdsError, MessageIcon::kStop),
                        kUserNameField);
    if (!fitsUserField(password))
        return stayOpen(message(kIdsNameOrPasswordTooLong, kIdsError, MessageIcon::kStop),
                        kUserPasswordField);
    if (password != confirm)
        return stayOpen(message(kIdsAddPasswordMismatch, kIdsRetry), kUserPasswordField);
    UserRecord r = administrator ? makeUserRecord(name, password, 1, 0)
                                 : makeUserRecord(name, password, 0, CurrentUser.newRights());
    switch (addUser(r)) {
    case UserChange::kOk: {
        DialogOutcome o = message(kIdsAddingUserSuccess, kIdsOk);
        o.accepted = true;
        return o;
    }
    case UserChange::kTableFull:
        return stayOpen(message(kIdsUserCountExceed, 0), 0);
    case UserChange::kNameExists:
        return stayOpen(message(kIdsUserNameExists, kIdsRetry), kUserNameField);
    default:
        return message(kIdsSystemWriteError, kIdsError, MessageIcon::kStop);
    }
}

DialogOutcome userEditModify(UserEditState& state, std::string_view password,
                             std::string_view confirm) {
    if (!password.empty() || !confirm.empty()) {
        if (password != confirm)
            return stayOpen(message(kIdsPasswordMismatch, kIdsRetry), kUserPasswordField);
        if (!fitsUserField(password))
            return stayOpen(message(kIdsNameOrPasswordTooLong, kIdsError, MessageIcon::kStop),
                            kUserPasswordField);
        state.record = makeUserRecord(userName(state.record), password, state.record.isAdmin,
                                      state.record.rights());
    }
    // Also covers a record that is no longer found by its name: nothing is written then.
    if (changeUser(state.record) != UserChange::kOk)
        return message(kIdsModificationLost, kIdsError, MessageIcon::kStop);
    DialogOutcome o = message(kIdsUserModified, kIdsOk);
    o.accepted = true;
    return o;
}

} // namespace

DialogOutcome userEditOk(UserEditState& state, std::string_view name, std::string_view password,
                         std::string_view confirm) {
    if (state.modifyMode)
        return userEditModify(state, password, confirm);
    return userEditAdd(name, password, confirm, state.administratorSelected);
}

uint16_t rightSettingPreset(const UserEditState& state) {
    if (state.modifyMode)
        return state.record.isAdmin != 0 ? kAllRights : state.record.rights() & kAllRights;
    // A new user's boxes start unticked: what is ticked here is what the user gets.
    return 0;
}

void rightSettingOk(UserEditState& state, uint16_t ticked) {
    ticked &= kAllRights;
    if (state.modifyMode) {
        // Bits without a right are cleared on an existing user.
        state.record.setRights(ticked);
    } else {
        CurrentUser.setNewRights(
            static_cast<uint16_t>((CurrentUser.newRights() & ~kAllRights) | ticked));
    }
}
