// The log-on state that every guarded command consults.
//
// Only the user-interface thread reads or writes it (log-on, dialogs, command handlers, and the
// event log entries those handlers write), so the fields are plain.
#pragma once

#include <cstdint>
#include <string>

struct LogOnState {
    uint8_t rightsLo = 0; // rights of the logged-on user
    uint8_t rightsHi = 0;
    uint8_t newRightsLo = 0; // rights prepared for the user the Add User dialog will create
    uint8_t newRightsHi = 0;
    uint8_t isAdmin = 0;   // 1 when the logged-on user is an administrator
    uint8_t loggedOn = 0;  // 1 while a user is logged on
    std::string userName;  // also the user written into the event log; kept after log-off
    int32_t userIndex = 0; // record number of the last successful lookup with a password

    uint16_t rights() const { return static_cast<uint16_t>(rightsLo | rightsHi << 8); }
    uint16_t newRights() const { return static_cast<uint16_t>(newRightsLo | newRightsHi << 8); }
    void setNewRights(uint16_t r) {
        newRightsLo = static_cast<uint8_t>(r & 0xFF);
        newRightsHi = static_cast<uint8_t>(r >> 8);
    }
};

// The one program-wide log-on state.
extern LogOnState CurrentUser;

// The rights check of every guarded command: administrators pass, an operator needs the bit.
// `right` is one of the kRight... masks (UserRecord.h).
bool hasRight(uint16_t right);
// User Management has no bit: administrators only.
bool isAdministrator();

// Completes an accepted log-on (the Log On dialog has already set the rights).
void logOn(const std::string& name, uint8_t isAdmin);
// Clears the log-on state; userName keeps the last name.
void logOff();

// Status bar pane 2: "Current User:" directly followed by the name while someone is logged on,
// "Current User: No User Logs On" otherwise.
std::string currentUserText();
