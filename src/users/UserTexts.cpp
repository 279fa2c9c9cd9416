#include "users/UserTexts.h"

#include "platform/StringTable.h"

std::string userText(int id) {
    return EditionString(id, userEnglishText(id));
}

std::string userEnglishText(int id) {
    switch (id) {
    case kIdsOk:
        return "OK";
    case kIdsBlankNameOrPassword:
        return "Name or Password can't set blank!";
    case kIdsError:
        return "Error";
    case kIdsAddPasswordMismatch:
        return "Password don't match, Please over again input!";
    case kIdsRetry:
        return "Retry";
    case kIdsUserCountExceed:
        return "User Count Exceed 99.";
    case kIdsUserNameExists:
        return "User Name Existes! Please Retry!";
    case kIdsSystemWriteError:
        return "System Write Error!";
    case kIdsAddingUserSuccess:
        return "Adding User Success!";
    case kIdsPasswordMismatch:
        return "Password don't match!\u00a3\u00acPlease Retry!";
    case kIdsModificationLost:
        return "System Write Error, Modification Lost!";
    case kIdsUserModified:
        return "User Information Is Modified Success!";
    case kIdsPasswordError:
        return "Password Error!";
    case kIdsPasswordReadError:
        return "Password Read Error!";
    case kIdsPasswordChanged:
        return "Success\u00a3\u00acKeep The New PSW In Mind!";
    case kIdsNoUserLogsOn:
        return "Current User: No User Logs On";
    case kIdsCurrentUser:
        return "Current User:";
    case kIdsNameOrPasswordError:
        return "Name Or Password Error!";
    case kIdsChooseUserFirst:
        return "You Must Choose A User From The List First.";
    case kIdsCannotDeleteYourself:
        return "Can Not Delete Yourself!";
    case kIdsConfirmDeleteUser:
        return "Are You Sure To Delete User:";
    case kIdsAddUser:
        return "Add User";
    case kIdsModifyUser:
        return "Modify User";
    case kIdsAdministrator:
        return "Administrator";
    case kIdsOperator:
        return "Operator";
    case kIdsNameOrPasswordTooLong:
        return "Name or Password is too long!";
    default:
        return {};
    }
}
