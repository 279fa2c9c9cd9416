#include "UserTableFixture.h"

#include "platform/PasswordHash.h"

#include <algorithm>
#include <cstring>

namespace {

TEST_F(UserTableTest, FirstLookupCreatesTheDefaultAdministrator) {
    uint8_t isAdmin = 9;
    uint16_t rights = 9;
    EXPECT_EQ(FindUser("kqzwvx", "kqzwvx", &isAdmin, &rights), 1);
    EXPECT_EQ(isAdmin, 1);
    EXPECT_EQ(rights, 0);
    EXPECT_EQ(CurrentUser.userIndex, 1);
    EXPECT_EQ(raw("itemsum"), Bytes{1});

    // The record without its password, then the password's hash.
    const Bytes stored = raw("item01");
    ASSERT_EQ(stored.size(), 43u + kPasswordHashSize);
    Bytes expected(43, 0);
    std::memcpy(expected.data(), "kqzwvx", 6);
    expected[40] = 1;
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 43), expected);
    EXPECT_TRUE(passwordIs(1, "kqzwvx"));
    EXPECT_FALSE(passwordIs(1, "kqzwvX"));
}

TEST_F(UserTableTest, AnOldTableIsHashedWholeAtItsNextWrite) {
    // A table written before passwords were hashed: clear text, and one damaged record.
    // Passwords with a "-", which a hash's text never holds, so that a search finds only them.
    store({admin("a", "pw-a"), op("b", "pw-b"), op("c", "pw-c")});
    const Bytes damaged{'c', 0, 1, 2};
    putRaw("item03", damaged);
    EXPECT_EQ(raw("item01").size(), 43u) << "the raw write hashes nothing";

    // Reading changes nothing: log-ons work as they did.
    EXPECT_EQ(FindUser("b", "pw-b"), 2);
    EXPECT_EQ(FindUser("a", "pw-b"), -1);
    EXPECT_EQ(raw("item02").size(), 43u);

    // Any write turns every sound record into a hash; the damaged one keeps its bytes.
    ASSERT_EQ(addUser(op("d", "pw-d")), UserChange::kOk);
    for (int record : {1, 2, 4}) {
        const Bytes v = raw(userValueName(record));
        ASSERT_EQ(v.size(), 43u + kPasswordHashSize) << record;
        EXPECT_TRUE(std::all_of(v.begin() + 20, v.begin() + 40, [](uint8_t b) { return b == 0; }))
            << "no password left in record " << record;
    }
    EXPECT_EQ(raw("item03"), damaged);
    for (const std::string clear : {"pw-a", "pw-b", "pw-d"}) {
        const Bytes file = fileBytes(KeyStore::keyFile(kUserKey));
        EXPECT_EQ(std::search(file.begin(), file.end(), clear.begin(), clear.end()), file.end())
            << clear;
    }
    uint16_t rights = 0;
    EXPECT_EQ(FindUser("b", "pw-b", nullptr, &rights), 2);
    EXPECT_EQ(rights, 0xEE);
    EXPECT_EQ(FindUser("b", "pw-a"), -1);
    EXPECT_EQ(FindUser("d", "pw-d"), 4);
}

TEST_F(UserTableTest, AHashedRecordThatIsDamagedGrantsNothing) {
    store({admin("a", "pa")});
    ASSERT_EQ(addUser(op("b", "pb")), UserChange::kOk);
    const Bytes good = raw("item02");
    ASSERT_EQ(good.size(), 43u + kPasswordHashSize);
    ASSERT_EQ(FindUser("b", "pb"), 2);

    Bytes unterminated = good;
    std::fill(unterminated.begin() + 43, unterminated.end(), 'x');
    Bytes foreign = good;
    foreign[44] = 'b'; // "$argon2id$" becomes "$brgon2id$"
    Bytes clearToo = good;
    std::memcpy(clearToo.data() + 20, "pb", 2); // bytes in the password field of a hashed record
    Bytes cut(good.begin(), good.end() - 1);
    for (const Bytes& bad : {unterminated, foreign, clearToo, cut}) {
        putRaw("item02", bad);
        EXPECT_EQ(FindUser("b", "pb"), -1);
        UserRecord r;
        EXPECT_FALSE(readUserRecord(2, r));
    }
}

TEST_F(UserTableTest, CheckUserLeavesTheLogOnStateAlone) {
    store({admin("a", "pa"), op("b", "pb", 0x0010)});
    CurrentUser.userIndex = 1;
    uint8_t isAdmin = 9;
    uint16_t rights = 0;
    EXPECT_EQ(CheckUser("b", "pb", &isAdmin, &rights), 2);
    EXPECT_EQ(isAdmin, 0);
    EXPECT_EQ(rights, 0x0010);
    EXPECT_EQ(CheckUser("b", "pa"), -1);
    EXPECT_EQ(CurrentUser.userIndex, 1);
}

TEST_F(UserTableTest, UnreadableTableIsNeverReplaced) {
    store({op("alice", "pw")});
    const std::string file = KeyStore::keyFile(kUserKey);
    Bytes damaged = fileBytes(file);
    damaged[0] ^= 0xFF; // a header that is not ours
    writeFile(file, damaged);

    EXPECT_EQ(userTableState(), UserTableState::kUnreadable);
    EXPECT_EQ(FindUser(kDefaultAdminName, kDefaultAdminPassword), -1);
    EXPECT_EQ(FindUser("alice", "pw"), -1);
    EXPECT_EQ(addUser(op("mallory", "pw")), UserChange::kUnreadable);
    EXPECT_EQ(changeUser(op("alice", "new")), UserChange::kUnreadable);
    EXPECT_EQ(deleteUser(1), UserChange::kUnreadable);
    EXPECT_FALSE(createUserTable());
    const uint8_t one = 1;
    EXPECT_FALSE(WriteUserValue(kUserCountValue, &one, 1));
    EXPECT_EQ(fileBytes(file), damaged);
    EXPECT_FALSE(std::filesystem::exists(file + ".bad"));

    // Something other than a file in its place reads no better.
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_EQ(userTableState(), UserTableState::kUnreadable);
    EXPECT_EQ(FindUser(kDefaultAdminName, kDefaultAdminPassword), -1);
    EXPECT_TRUE(std::filesystem::is_directory(file));

    // Only a table that is not there at all gets the default administrator.
    std::filesystem::remove(file);
    EXPECT_EQ(userTableState(), UserTableState::kMissing);
    EXPECT_EQ(FindUser(kDefaultAdminName, kDefaultAdminPassword), 1);
    EXPECT_EQ(userTableState(), UserTableState::kReadable);
}

TEST_F(UserTableTest, ExistingKeyWithoutCountHoldsNoUsers) {
    ASSERT_TRUE(KeyStore::create(kUserKey));
    EXPECT_EQ(FindUser("kqzwvx", "kqzwvx"), -1);
    EXPECT_EQ(readUserCount(), 0);
    EXPECT_TRUE(raw("item01").empty());
}

TEST_F(UserTableTest, LookupByNameAndPassword) {
    store({admin("root", "a"), op("bob", "first"), op("Bob", "upper"), op("bob", "second")});
    uint8_t isAdmin = 1;
    uint16_t rights = 0;
    // The first "bob" decides: its wrong password ends the search before record 4.
    EXPECT_EQ(FindUser("bob", "second"), -1);
    EXPECT_EQ(FindUser("bob", "first", &isAdmin, &rights), 2);
    EXPECT_EQ(isAdmin, 0);
    EXPECT_EQ(rights, 0xEE);
    EXPECT_EQ(CurrentUser.userIndex, 2);
    EXPECT_EQ(FindUser("bob"), 2);
    // Case matters; blanks are not trimmed.
    EXPECT_EQ(FindUser("Bob", "upper"), 3);
    EXPECT_EQ(FindUser("BOB"), -1);
    EXPECT_EQ(FindUser("bob "), -1);
    EXPECT_EQ(FindUser("bob", "First"), -1);
    EXPECT_EQ(CurrentUser.userIndex, 3) << "failed lookups leave the index alone";
}

TEST_F(UserTableTest, DamagedRecordsNeverMatch) {
    store({op("alice", "secret"), op("x", "x"), op("y", "y"), op("z", "z")});
    // Record 2 is cut short: only "carol" and its zero. Were the buffer left holding record 1,
    // carol would log on with alice's password.
    putRaw("item02", Bytes{'c', 'a', 'r', 'o', 'l', 0});
    EXPECT_EQ(FindUser("carol", "secret"), -1);
    EXPECT_EQ(FindUser("carol"), -1);

    // Record 3: a name of 20 bytes without its zero.
    UserRecord r = op("", "pw");
    std::memset(r.name, 'n', sizeof r.name);
    const auto* p = reinterpret_cast<const uint8_t*>(&r);
    putRaw("item03", Bytes(p, p + 43));
    EXPECT_EQ(FindUser(std::string(19, 'n')), -1);
    EXPECT_EQ(FindUser(std::string(20, 'n')), -1);
    // Record 4: a password without its zero.
    r = op("dave", "");
    std::memset(r.password, 'p', sizeof r.password);
    putRaw("item04", Bytes(p, p + 43));
    EXPECT_EQ(FindUser("dave", std::string(20, 'p')), -1);
    EXPECT_EQ(FindUser("dave", std::string(19, 'p')), -1);

    // A count beyond 99 never sends a lookup past record 99.
    putRaw("itemsum", Bytes{200});
    EXPECT_EQ(readUserCount(), 99);
    EXPECT_EQ(FindUser("alice", "secret"), 1);

    std::vector<UserListEntry> list = listUsers();
    ASSERT_EQ(list.size(), 99u);
    EXPECT_TRUE(list[0].wellFormed);
    EXPECT_EQ(list[1].name, "carol");
    EXPECT_FALSE(list[1].wellFormed);
    EXPECT_EQ(list[2].name, std::string(19, 'n'));
    EXPECT_FALSE(list[3].wellFormed);
    EXPECT_EQ(list[98].name, "");
}

TEST_F(UserTableTest, AddRefusesFullTableAndExistingName) {
    store(users(98));
    EXPECT_EQ(addUser(op("user5", "pw")), UserChange::kNameExists);
    EXPECT_EQ(addUser(op("User5", "pw")), UserChange::kOk) << "names differing in case";
    EXPECT_EQ(readUserCount(), 99);
    EXPECT_EQ(nameOf(99), "User5");

    EXPECT_EQ(addUser(op("late", "pw")), UserChange::kTableFull);
    EXPECT_EQ(readUserCount(), 99);
    EXPECT_EQ(KeyStore::listValues(kUserKey).size(), 100u) << "nothing beyond item99";
    EXPECT_EQ(FindUser("late"), -1);
}

TEST_F(UserTableTest, AddWritesRecordAndCountTogether) {
    store(users(2));
    failWrites();
    EXPECT_EQ(addUser(op("carol", "pw")), UserChange::kWriteFailed);
    EXPECT_EQ(readUserCount(), 2);
    EXPECT_TRUE(raw("item03").empty());
}

TEST_F(UserTableTest, DeleteMovesFollowingRecordsDown) {
    store({admin("a", "1"), op("b", "2"), op("c", "3"), op("d", "4")});
    putRaw("item03", Bytes{'c', 0, 1, 2}); // damaged records move with their bytes as they are
    CurrentUser.userIndex = 4;

    EXPECT_EQ(deleteUser(2), UserChange::kOk);
    EXPECT_EQ(readUserCount(), 3);
    EXPECT_EQ(nameOf(1), "a");
    EXPECT_EQ(raw("item02"), (Bytes{'c', 0, 1, 2}));
    EXPECT_EQ(nameOf(3), "d");
    EXPECT_TRUE(passwordIs(3, "4"));
    EXPECT_TRUE(raw("item04").empty());
    EXPECT_EQ(CurrentUser.userIndex, 3) << "the logged-on user's record moved down";

    EXPECT_EQ(deleteUser(4), UserChange::kNotFound);
    EXPECT_EQ(deleteUser(0), UserChange::kNotFound);
    EXPECT_EQ(deleteUser(3), UserChange::kOk);
    EXPECT_EQ(readUserCount(), 2);
    EXPECT_TRUE(raw("item03").empty());
}

TEST_F(UserTableTest, ChangePasswordAndChangeUser) {
    store({admin("a", "1"), op("b", "old", 0x8010)});
    CurrentUser.userName = "b";
    CurrentUser.rightsLo = 0x10;
    CurrentUser.rightsHi = 0x80;
    ASSERT_EQ(FindUser("b", "old"), 2);
    EXPECT_EQ(changePassword("new"), UserChange::kOk);
    EXPECT_EQ(FindUser("b", "new"), 2);
    EXPECT_EQ(nameOf(1), "a");
    EXPECT_EQ(changePassword(std::string(20, 'x')), UserChange::kBadField);

    UserRecord r = op("b", "other", 0x0001);
    EXPECT_EQ(changeUser(r), UserChange::kOk);
    uint16_t rights = 0;
    EXPECT_EQ(FindUser("b", "other", nullptr, &rights), 2);
    EXPECT_EQ(rights, 0x0001);
    // A record read back has no password in it: written again, it keeps the stored one.
    const Bytes hashed = raw("item02");
    UserRecord read;
    ASSERT_TRUE(readUserRecord(2, read));
    EXPECT_EQ(userPassword(read), "");
    read.setRights(0x0020);
    EXPECT_EQ(changeUser(read), UserChange::kOk);
    EXPECT_EQ(FindUser("b", "other", nullptr, &rights), 2);
    EXPECT_EQ(rights, 0x0020);
    const Bytes rewritten = raw("item02");
    EXPECT_EQ(Bytes(rewritten.begin() + 43, rewritten.end()),
              Bytes(hashed.begin() + 43, hashed.end()));
    EXPECT_EQ(changeUser(op("ghost", "x")), UserChange::kNotFound);
    EXPECT_EQ(readUserCount(), 2);
}

TEST_F(UserTableTest, RightsCheckAndLogOnState) {
    EXPECT_FALSE(hasRight(kRightSelectFile)) << "nobody logged on";
    EXPECT_EQ(currentUserText(), "Current User: No User Logs On");

    CurrentUser.rightsLo = 0x10;
    logOn("op", 0);
    EXPECT_TRUE(hasRight(kRightViewSoftNote));
    EXPECT_FALSE(hasRight(kRightSendFile));
    EXPECT_FALSE(hasRight(kRightCloseSystem));
    EXPECT_FALSE(isAdministrator());
    EXPECT_EQ(currentUserText(), "Current User:op");

    CurrentUser.rightsLo = 0;
    CurrentUser.rightsHi = 0;
    logOn("boss", 1);
    for (const RightBox& box : kRightBoxes)
        EXPECT_TRUE(hasRight(box.mask)) << box.text;
    EXPECT_TRUE(isAdministrator());

    CurrentUser.setNewRights(0xEE);
    logOff();
    EXPECT_FALSE(hasRight(kRightSendFile));
    EXPECT_EQ(CurrentUser.newRights(), 0);
    EXPECT_EQ(CurrentUser.userName, "boss");
    EXPECT_EQ(currentUserText(), "Current User: No User Logs On");
}

} // namespace
