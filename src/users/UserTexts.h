// String-table texts of the user dialogs, by identifier.
#pragma once

#include <string>

constexpr int kIdsOk = 41700; // "OK" (also a caption)
constexpr int kIdsBlankNameOrPassword = 41701;
constexpr int kIdsError = 41702; // caption
constexpr int kIdsAddPasswordMismatch = 41703;
constexpr int kIdsRetry = 41704; // caption
constexpr int kIdsUserCountExceed = 41705;
constexpr int kIdsUserNameExists = 41706;
constexpr int kIdsSystemWriteError = 41707;
constexpr int kIdsAddingUserSuccess = 41708;
constexpr int kIdsPasswordMismatch = 41709;
constexpr int kIdsModificationLost = 41710;
constexpr int kIdsUserModified = 41711;
constexpr int kIdsPasswordError = 41742;
constexpr int kIdsPasswordReadError = 41745;
constexpr int kIdsPasswordChanged = 41746;
constexpr int kIdsNoUserLogsOn = 41752;
constexpr int kIdsCurrentUser = 41753;
constexpr int kIdsNameOrPasswordError = 41754;
constexpr int kIdsChooseUserFirst = 41773;
constexpr int kIdsCannotDeleteYourself = 41774;
constexpr int kIdsConfirmDeleteUser = 41775;
constexpr int kIdsAddUser = 41778;       // dialog title
constexpr int kIdsModifyUser = 41779;    // dialog title
constexpr int kIdsAdministrator = 32895; // user class in the list
constexpr int kIdsOperator = 32896;
// Our own: a name or password longer than its 19-byte field is refused rather than cut.
constexpr int kIdsNameOrPasswordTooLong = 41790;

// The text of an identifier above as the running edition shows it (platform/StringTable.h);
// empty for any other identifier.
std::string userText(int id);
// The English text of an identifier above; empty for any other.
std::string userEnglishText(int id);
