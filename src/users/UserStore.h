// The user table: key "Ornisys\" of the per-user key store, value "itemsum" (1 byte, the count
// 0..99) and "item01" .. "item99" (one user each). Records 1..count exist and no others; deleting
// moves the following records down.
//
// Passwords are never stored in clear: a record is its 43-byte UserRecord with an empty password
// field, followed by the password's hash (platform/PasswordHash.h), 171 bytes in all. A table
// written before passwords were hashed holds 43-byte records with the password in clear; they still
// log on, and the table's next write (any change, by anyone) turns every one of them into a hash.
// A record of any other size, or whose fields or hash are not terminated, is damaged and never
// matches a lookup.
//
// On disk: $XDG_CONFIG_HOME/talvorn/Ornisys.key (see platform/KeyStore.h).
//
// A table that exists but cannot be read (no valid header, no permission, an I/O error) is never
// taken for a missing one: it is left as it is, nobody logs on and no change is written, until
// someone repairs or removes the file. Only a table that does not exist gets the default
// administrator, so damaging the file gives nobody the well-known administrator's rights.
//
// Every change reads and writes under the table's writer lock, so that two processes (two
// stations of one account) never lose one another's changes.
#pragma once

#include "users/UserRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* kUserKey = "Ornisys\\";
constexpr const char* kUserCountValue = "itemsum";
constexpr const char* kDefaultAdminName = "kqzwvx";
constexpr const char* kDefaultAdminPassword = "kqzwvx";

// "item%02d" of a record number.
std::string userValueName(int record);

// Store `size` bytes under the value, creating the key when missing. True when stored; false,
// with nothing written, when the table exists but cannot be read.
bool WriteUserValue(const char* valueName, const void* bytes, size_t size);
// False when the key does not exist. Otherwise copies at most `size` bytes of the value into the
// buffer and returns true, also when the value is missing (the buffer is then left as it was).
// `storedSize`, when given, receives the value's full size (0 when missing), so callers can tell
// a missing or short value from a whole one.
bool ReadUserValue(const char* valueName, void* buffer, size_t size, size_t* storedSize = nullptr);
// False when the key or the value does not exist.
bool DeleteUserValue(const char* valueName);

enum class UserTableState {
    kMissing,    // no table yet: the first lookup creates it with the default administrator
    kUnreadable, // exists but cannot be read: left alone, every log-on is refused
    kReadable,
};
UserTableState userTableState();

// Creates the table without users ("itemsum" 0) when it does not exist. True when a readable
// table exists afterwards; false when it could not be created or exists but cannot be read.
bool createUserTable();

// The count from "itemsum": -1 when the key does not exist, 0 when the value is missing, never
// more than 99.
int readUserCount();

// Record `record` (1..99) without its password: the password field is empty for a hashed record
// (the clear text of an old one is still there). False, with `out` zeroed, when it is missing or
// damaged; such a record never matches a lookup.
bool readUserRecord(int record, UserRecord& out);
// Stores the record with the hash of its password field.
bool writeUserRecord(int record, const UserRecord& r);

// Looks a user up by name (byte for byte, case matters) and, when `password` is given, checks
// the password of the first record with that name: a wrong one ends the search with -1. On
// success with a password, sets *isAdmin, *rights (when given) and CurrentUser.userIndex.
// Creates the default administrator first when the table does not exist (never when it exists but
// cannot be read: the lookup then finds nobody). Returns the record number 1..count, or -1.
int FindUser(std::string_view name, std::optional<std::string_view> password = std::nullopt,
             uint8_t* isAdmin = nullptr, uint16_t* rights = nullptr);
// FindUser without the log-on state: it leaves CurrentUser alone, so threads other than the
// user-interface thread (the HTTP API's) check credentials with it.
int CheckUser(std::string_view name, std::optional<std::string_view> password = std::nullopt,
              uint8_t* isAdmin = nullptr, uint16_t* rights = nullptr);

// Result codes of the table changes.
enum class UserChange {
    kOk,
    kTableFull,  // already 99 users
    kNameExists, // a user of that name exists
    kNotFound,   // no such record or name
    kBadField,   // name or password empty where needed, or longer than 19 bytes
    kWriteFailed,
    kUnreadable, // the table exists but cannot be read; it is left as it is
};

// Appends a user as record count + 1 and raises the count, in one atomic write.
UserChange addUser(const UserRecord& r);
// Writes the whole record again under its own number (found by its name). An empty password
// field keeps the stored password (readUserRecord hands out none); any other is the new one.
UserChange changeUser(const UserRecord& r);
// Changes the logged-on user's password: the record of CurrentUser.userName (at
// CurrentUser.userIndex, or wherever it moved) gets the new password and keeps its stored class
// and rights, which an administrator may have changed since the log-on.
UserChange changePassword(std::string_view newPassword);
// Removes record `record`, moving the following records down, in one atomic write.
UserChange deleteUser(int record);

struct UserListEntry {
    int record;       // 1..count
    std::string name; // up to the first zero byte, at most 19 bytes
    bool isAdmin;
    bool wellFormed; // false for a missing, short or unterminated record
};
// The table in record order; empty when the key does not exist.
std::vector<UserListEntry> listUsers();
