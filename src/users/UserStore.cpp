#include "users/UserStore.h"

#include "platform/KeyStore.h"
#include "platform/PasswordHash.h"
#include "users/CurrentUser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// A record as this version stores it: the 43 bytes with an empty password field, then the
// password's hash. A table written before passwords were hashed holds the 43 bytes alone, with
// the password in clear; the table's next write turns every such record into the hashed form.
constexpr size_t kHashedRecordSize = kUserRecordSize + kPasswordHashSize;

struct StoredUser {
    UserRecord record{};
    bool hashed = false;
    char hash[kPasswordHashSize] = {};
};

// False, with `out` zeroed, for a value that is neither form or whose fields are not terminated.
bool decodeStored(const std::vector<uint8_t>& bytes, StoredUser& out) {
    out = StoredUser{};
    if (bytes.size() != kUserRecordSize && bytes.size() != kHashedRecordSize)
        return false;
    std::memcpy(&out.record, bytes.data(), kUserRecordSize);
    if (bytes.size() == kHashedRecordSize) {
        std::memcpy(out.hash, bytes.data() + kUserRecordSize, kPasswordHashSize);
        out.hashed = true;
    }
    // A hashed record keeps nothing in its password field: bytes there mean damage.
    const bool sound =
        isWellFormed(out.record) &&
        (!out.hashed || (out.record.password[0] == 0 && WellFormedPasswordHash(out.hash)));
    if (!sound)
        out = StoredUser{};
    return sound;
}

bool readStored(int record, StoredUser& out) {
    std::vector<uint8_t> bytes;
    if (record < 1 || record > kMaxUsers ||
        KeyStore::getValue(kUserKey, userValueName(record), bytes) != KeyRead::kOk) {
        out = StoredUser{};
        return false;
    }
    return decodeStored(bytes, out);
}

bool passwordMatches(const StoredUser& s, std::string_view password) {
    return s.hashed ? PasswordMatches(s.hash, password) : userPassword(s.record) == password;
}

std::vector<uint8_t> storedBytes(const UserRecord& r, const char (&hash)[kPasswordHashSize]) {
    UserRecord header = r;
    std::memset(header.password, 0, sizeof header.password);
    std::vector<uint8_t> bytes(kHashedRecordSize);
    std::memcpy(bytes.data(), &header, kUserRecordSize);
    std::memcpy(bytes.data() + kUserRecordSize, hash, kPasswordHashSize);
    return bytes;
}

// The stored form of `r` with `password`; empty when the hash could not be made.
std::vector<uint8_t> recordBytes(const UserRecord& r, std::string_view password) {
    char hash[kPasswordHashSize];
    if (!HashPassword(password, hash))
        return {};
    return storedBytes(r, hash);
}

std::vector<uint8_t> recordBytes(const UserRecord& r) {
    return recordBytes(r, userPassword(r));
}

// Record number of a value name "item01" .. "item99"; 0 for any other name.
int recordOfValue(const std::string& name) {
    if (name.size() != 6 || name.compare(0, 4, "item") != 0 || !std::isdigit(uint8_t(name[4])) ||
        !std::isdigit(uint8_t(name[5])))
        return 0;
    return (name[4] - '0') * 10 + (name[5] - '0');
}

// Adds to `changes` the hashed form of every record that the table would still hold in clear
// text after them. False when a hash could not be made: nothing may then be written.
bool hashClearTextRecords(std::vector<KeyValueChange>& changes) {
    std::vector<std::string> names = KeyStore::listValues(kUserKey);
    for (const KeyValueChange& c : changes)
        names.push_back(c.name);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<KeyValueChange> hashed;
    for (const std::string& name : names) {
        if (recordOfValue(name) == 0)
            continue;
        std::optional<std::vector<uint8_t>> bytes;
        const auto last = std::find_if(changes.rbegin(), changes.rend(),
                                       [&](const KeyValueChange& c) { return c.name == name; });
        if (last != changes.rend()) {
            bytes = last->data;
        } else {
            std::vector<uint8_t> stored;
            if (KeyStore::getValue(kUserKey, name, stored) == KeyRead::kOk)
                bytes = std::move(stored);
        }
        StoredUser s;
        if (!bytes || !decodeStored(*bytes, s) || s.hashed)
            continue; // missing, damaged (kept as it is) or already hashed
        std::vector<uint8_t> converted = recordBytes(s.record);
        if (converted.empty())
            return false;
        hashed.push_back({name, std::move(converted)});
    }
    changes.insert(changes.end(), hashed.begin(), hashed.end());
    return true;
}

// Every write of the table goes here, so that no write leaves a password in clear.
bool updateTable(std::vector<KeyValueChange> changes) {
    return hashClearTextRecords(changes) && KeyStore::update(kUserKey, changes);
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
    std::vector<uint8_t> bytes = recordBytes(admin);
    if (bytes.empty() ||
        !updateTable({{userValueName(1), std::move(bytes)}, {kUserCountValue, countBytes(1)}}))
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
    return updateTable({{kUserCountValue, countBytes(0)}});
}

std::string userValueName(int record) {
    char name[16];
    std::snprintf(name, sizeof name, "item%02d", record);
    return name;
}

bool WriteUserValue(const char* valueName, const void* bytes, size_t size) {
    KeyStoreLock lock(kUserKey);
    const auto* p = static_cast<const uint8_t*>(bytes);
    return changeBlocked(lock) == UserChange::kOk &&
           updateTable({{valueName, std::vector<uint8_t>(p, p + size)}});
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
    StoredUser s;
    const bool ok = readStored(record, s);
    out = s.record;
    return ok;
}

bool writeUserRecord(int record, const UserRecord& r) {
    if (record < 1 || record > kMaxUsers)
        return false;
    std::vector<uint8_t> bytes = recordBytes(r);
    if (bytes.empty())
        return false;
    KeyStoreLock lock(kUserKey);
    return changeBlocked(lock) == UserChange::kOk &&
           updateTable({{userValueName(record), std::move(bytes)}});
}

int CheckUser(std::string_view name, std::optional<std::string_view> password, uint8_t* isAdmin,
              uint16_t* rights) {
    int count = readUserCount();
    if (count < 0 && (count = createDefaultTable()) < 0)
        return -1;
    for (int i = 1; i <= count; ++i) {
        StoredUser s;
        if (!readStored(i, s) || userName(s.record) != name)
            continue;
        if (!password)
            return i;
        if (!passwordMatches(s, *password))
            return -1; // the first record with the name decides
        if (isAdmin != nullptr)
            *isAdmin = s.record.isAdmin != 0 ? 1 : 0;
        if (rights != nullptr)
            *rights = s.record.rights();
        return i;
    }
    return -1;
}

int FindUser(std::string_view name, std::optional<std::string_view> password, uint8_t* isAdmin,
             uint16_t* rights) {
    const int record = CheckUser(name, password, isAdmin, rights);
    if (record >= 1 && password)
        CurrentUser.userIndex = record;
    return record;
}

UserChange addUser(const UserRecord& r) {
    if (!isWellFormed(r) || userName(r).empty())
        return UserChange::kBadField;
    // Hashed before the lock is taken: the hash takes its time on purpose.
    std::vector<uint8_t> bytes = recordBytes(r);
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
    bool ok = !bytes.empty() && updateTable({{userValueName(count + 1), std::move(bytes)},
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
    if (!userPassword(r).empty())
        return writeUserRecord(record, r) ? UserChange::kOk : UserChange::kWriteFailed;
    // An empty password field keeps the stored password: the record was read with none in it.
    StoredUser stored;
    if (!readStored(record, stored))
        return UserChange::kNotFound;
    std::vector<uint8_t> bytes =
        stored.hashed ? storedBytes(r, stored.hash) : recordBytes(r, userPassword(stored.record));
    if (bytes.empty() || !updateTable({{userValueName(record), std::move(bytes)}}))
        return UserChange::kWriteFailed;
    return UserChange::kOk;
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
    if (!updateTable(std::move(changes)))
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
        StoredUser stored;
        bool wellFormed = readStored(i, stored);
        bool admin = size > offsetof(UserRecord, isAdmin) && r.isAdmin != 0;
        list.push_back({i, userName(r), admin, wellFormed});
    }
    return list;
}
