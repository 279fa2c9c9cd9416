#include "users/CurrentUser.h"

#include "users/UserTexts.h"

LogOnState CurrentUser;

bool hasRight(uint16_t right) {
    return CurrentUser.isAdmin != 0 || (CurrentUser.rights() & right) != 0;
}

bool isAdministrator() {
    return CurrentUser.isAdmin != 0;
}

void logOn(const std::string& name, uint8_t isAdmin) {
    CurrentUser.isAdmin = isAdmin ? 1 : 0;
    CurrentUser.loggedOn = 1;
    CurrentUser.userName = name;
}

void logOff() {
    CurrentUser.loggedOn = 0;
    CurrentUser.isAdmin = 0;
    CurrentUser.rightsLo = 0;
    CurrentUser.rightsHi = 0;
    CurrentUser.newRightsLo = 0;
    CurrentUser.newRightsHi = 0;
}

std::string currentUserText() {
    if (CurrentUser.loggedOn == 0)
        return userText(kIdsNoUserLogsOn);
    return userText(kIdsCurrentUser) + CurrentUser.userName;
}
