#include "users/UserStore.h"

#include "platform/KeyStore.h"
#include "users/CurrentUser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::vector<uint8_t> recordBytes(const UserRecord& r) {
    const auto* p = reinterpret_cast<const uint8_t*>(&r);
    return std::vector<uint8_t>(p, p + kUserRecordSize);
}

std::vector<uint8_t> countBytes(int count) {
    return {static_cast<uint8_t>(count)};
}

// Reads whatever is stored for a record into a zeroed buffer: a short value leaves zeros behind
// it, never the bytes of an earlier record.
bool readRawRecord(int record, UserRecord& out, size_t& size) {
    std::memset(&out, 0, sizeof out);
    size = 0;
    return ReadUserValue(userValueName(record).c_str(), &out, sizeof out, &size);
}

// The default administrator goes only into a table that does not exist at all; the check is made
// again under the lock, as another process may have created the table meanwhile. Returns the count
// of the table afterwards, -1 when there is none that can be read.
int createDefaultTable() {
    KeyStoreLock lock(kUserKey);
    if (!lock.held())
        return -1;
    switch (KeyStore::state(kUserKey)) {
    case KeyState::kUnreadable:
        return -1;
    case KeyState::kOk:
        return std::max(readUserCount(), 0);
    case KeyState::kMissing:
        break;
    }
    // The default administrator and its count in one write.
    UserRecord admin = makeUserRecord(kDefaultAdminName, kDefaultAdminPassword, 1, 0);
    if (!KeyStore::update(
            kUserKey, {{userValueName(1), recordBytes(admin)}, {kUserCountValue, countBytes(1)}}))
        return -1;
    return 1;
}

// What a change must not go on without: the lock held and a table that is missing or readable.
UserChange changeBlocked(const KeyStoreLock& lock) {
    if (!lock.held())
        return UserChange::kWriteFailed;
    if (KeyStore::state(kUserKey) == KeyState::kUnreadable)
        return UserChange::kUnreadable;
    return UserChange::kOk;
}

} // namespace

UserTableState userTableState() {
    switch (KeyStore::state(kUserKey)) {
    case KeyState::kMissing:
        return UserTableState::kMissing;
    case KeyState::kUnreadable:
        return UserTableState::kUnreadable;
    case KeyState::kOk:
        break;
    }
    return UserTableState::kReadable;
}

bool createUserTable() {
    KeyStoreLock lock(kUserKey);
    if (!lock.held())
        return false;
    switch (KeyStore::state(kUserKey)) {
    case KeyState::kUnreadable:
        return false;
    case KeyState::kOk:
        return true;
    case KeyState::kMissing:
        break;
    }
    // The key and its zero count in one write: both or neither.
    return KeyStore::update(kUserKey, {{kUserCountValue, countBytes(0)}});
}

std::string userValueName(int record) {
    char name[16];
    std::snprintf(name, sizeof name, "item%02d", record);
    return name;
}

bool WriteUserValue(const char* valueName, const void* bytes, size_t size) {
    KeyStoreLock lock(kUserKey);
    return changeBlocked(lock) == UserChange::kOk &&
           KeyStore::setValue(kUserKey, valueName, bytes, size);
}

bool ReadUserValue(const char* valueName, void* buffer, size_t size, size_t* storedSize) {
    return KeyStore::getValue(kUserKey, valueName, buffer, size, storedSize) != KeyRead::kNoKey;
}

bool DeleteUserValue(const char* valueName) {
    return KeyStore::deleteValue(kUserKey, valueName);
}

int readUserCount() {
    uint8_t count = 0;
    size_t stored = 0;
    if (!ReadUserValue(kUserCountValue, &count, 1, &stored))
        return -1;
    if (stored == 0)
        return 0;
    // A damaged count must not send lookups past the table's 99 value names.
    return count > kMaxUsers ? kMaxUsers : count;
}

bool readUserRecord(int record, UserRecord& out) {
    size_t size = 0;
    if (record < 1 || record > kMaxUsers || !readRawRecord(record, out, size) ||
        size != kUserRecordSize || !isWellFormed(out)) {
        std::memset(&out, 0, sizeof out);
        return false;
    }
    return true;
}

bool writeUserRecord(int record, const UserRecord& r) {
    if (record < 1 || record > kMaxUsers)
        return false;
    return WriteUserValue(userValueName(record).c_str(), &r, sizeof r);
}

int FindUser(std::string_view name, std::optional<std::string_view> password, uint8_t* isAdmin,
             uint16_t* rights) {
    int count = readUserCount();
    if (count < 0 && (count = createDefaultTable()) < 0)
        return -1;
    for (int i = 1; i <= count; ++i) {
        UserRecord r;
        if (!readUserRecord(i, r) || userName(r) != name)
            continue;
        if (!password)
            return i;
        if (userPassword(r) != *password)
            return -1; // the first record with the name decides
        if (isAdmin != nullptr)
            *isAdmin = r.isAdmin != 0 ? 1 : 0;
        if (rights != nullptr)
            *rights = r.rights();
        CurrentUser.userIndex = i;
        return i;
    }
    return -1;
}

UserChange addUser(const UserRecord& r) {
    if (!isWellFormed(r) || userName(r).empty())
        return UserChange::kBadField;
    // The count read here decides the new record's number: no other writer until it is written.
    KeyStoreLock lock(kUserKey);
    if (UserChange blocked = changeBlocked(lock); blocked != UserChange::kOk)
        return blocked;
    if (readUserCount() >= kMaxUsers)
        return UserChange::kTableFull;
    if (FindUser(userName(r)) >= 1)
        return UserChange::kNameExists;
    // Read again: the lookup creates the table with its administrator when it was missing.
    int count = readUserCount();
    if (count < 0)
        count = 0;
    if (count >= kMaxUsers)
        return UserChange::kTableFull;
    // The record and the raised count together, so a failure cannot leave a count that is not
    // backed by a record or report a user that was not counted.
    bool ok = KeyStore::update(kUserKey, {{userValueName(count + 1), recordBytes(r)},
                                          {kUserCountValue, countBytes(count + 1)}});
    return ok ? UserChange::kOk : UserChange::kWriteFailed;
}

UserChange changeUser(const UserRecord& r) {
    if (!isWellFormed(r))
        return UserChange::kBadField;
    KeyStoreLock lock(kUserKey);
    if (UserChange blocked = changeBlocked(lock); blocked != UserChange::kOk)
        return blocked;
    int record = FindUser(userName(r));
    if (record < 1)
        return UserChange::kNotFound;
    return writeUserRecord(record, r) ? UserChange::kOk : UserChange::kWriteFailed;
}

UserChange changePassword(std::string_view newPassword) {
    if (!fitsUserField(newPassword) || !fitsUserField(CurrentUser.userName))
        return UserChange::kBadField;
    KeyStoreLock lock(kUserKey);
    if (UserChange blocked = changeBlocked(lock); blocked != UserChange::kOk)
        return blocked;
    // The record as it is stored now: rights an administrator changed since the log-on stay as
    // they were changed. A record that moved (a user before it was deleted) is found by its name.
    int record = CurrentUser.userIndex;
    UserRecord stored;
    if (record < 1 || record > readUserCount() || !readUserRecord(record, stored) ||
        userName(stored) != CurrentUser.userName) {
        record = FindUser(CurrentUser.userName);
        if (record < 1 || !readUserRecord(record, stored))
            return UserChange::kNotFound;
    }
    const UserRecord r =
        makeUserRecord(CurrentUser.userName, newPassword, stored.isAdmin, stored.rights());
    return writeUserRecord(record, r) ? UserChange::kOk : UserChange::kWriteFailed;
}

UserChange deleteUser(int record) {
    KeyStoreLock lock(kUserKey);
    if (UserChange blocked = changeBlocked(lock); blocked != UserChange::kOk)
        return blocked;
    int count = readUserCount();
    if (record < 1 || record > count)
        return UserChange::kNotFound;
    // Move the raw values as they are, damaged ones included, so every record keeps its bytes;
    // a missing one stays missing. All in one write: a crash cannot leave a half-moved table.
    std::vector<KeyValueChange> changes;
    for (int k = record; k < count; ++k) {
        std::vector<uint8_t> next;
        if (KeyStore::getValue(kUserKey, userValueName(k + 1), next) == KeyRead::kOk)
            changes.push_back({userValueName(k), std::move(next)});
        else
            changes.push_back({userValueName(k), std::nullopt});
    }
    changes.push_back({userValueName(count), std::nullopt});
    changes.push_back({kUserCountValue, countBytes(count - 1)});
    if (!KeyStore::update(kUserKey, changes))
        return UserChange::kWriteFailed;
    // The logged-on user's record may have moved down.
    if (CurrentUser.userIndex == record)
        CurrentUser.userIndex = 0;
    else if (CurrentUser.userIndex > record)
        --CurrentUser.userIndex;
    return UserChange::kOk;
}

std::vector<UserListEntry> listUsers() {
    std::vector<UserListEntry> list;
    int count = readUserCount();
    for (int i = 1; i <= count; ++i) {
        UserRecord r;
        size_t size = 0;
        readRawRecord(i, r, size);
        bool wellFormed = size == kUserRecordSize && isWellFormed(r);
        bool admin = size > offsetof(UserRecord, isAdmin) && r.isAdmin != 0;
        list.push_back({i, userName(r), admin, wellFormed});
    }
    return list;
}
