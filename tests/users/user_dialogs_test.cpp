#include "UserTableFixture.h"

#include "users/UserDialogs.h"

namespace {

// Message, caption and what the dialog does, in one line per expectation.
void expectMessage(const DialogOutcome& o, const std::string& text, const std::string& caption,
                   bool stays = false, int focus = 0) {
    EXPECT_EQ(o.message, text);
    EXPECT_EQ(o.caption, caption);
    EXPECT_EQ(o.closeDialog, !stays);
    if (stays) {
        EXPECT_EQ(o.focusField, focus);
    }
}

const std::string kPswMismatch = "Password don't match!\xC2\xA3\xC2\xACPlease Retry!";

using LogOnDialog = UserTableTest;

TEST_F(LogOnDialog, StartUpRetriesUntilAccepted) {
    using Try = std::pair<const char*, const char*>;
    for (auto [name, password] : {Try{"kqzwvx", "wrong"}, Try{"nobody", "kqzwvx"}, Try{"", ""}}) {
        LogOnResult r = logOnOk(name, password);
        EXPECT_FALSE(r.outcome.accepted);
        expectMessage(r.outcome, "Name Or Password Error!", "Error");
        EXPECT_EQ(CurrentUser.rights(), 0);
    }
    store({admin("kqzwvx", "kqzwvx"), op("op", "pw", 0x8010)});
    LogOnResult r = logOnOk("op", "pw");
    ASSERT_TRUE(r.outcome.accepted);
    EXPECT_TRUE(r.outcome.message.empty());
    EXPECT_EQ(r.isAdmin, 0);
    EXPECT_EQ(CurrentUser.rights(), 0x8010) << "rights take effect at once";
    logOn(r.userName, r.isAdmin);
    EXPECT_EQ(currentUserText(), "Current User:op");
    EXPECT_EQ(CurrentUser.userIndex, 2);
}

TEST_F(LogOnDialog, UnreadableTableRefusesEveryLogOnAndIsLeftAlone) {
    store({admin("kqzwvx", "kqzwvx"), op("op", "pw")});
    const std::string file = KeyStore::keyFile(kUserKey);
    Bytes damaged = fileBytes(file);
    damaged[0] ^= 0xFF; // a header that is not ours
    writeFile(file, damaged);

    for (auto [name, password] : {std::pair{"kqzwvx", "kqzwvx"}, std::pair{"op", "pw"}}) {
        LogOnResult r = logOnOk(name, password);
        EXPECT_FALSE(r.outcome.accepted) << name;
        expectMessage(r.outcome, "Password Read Error!", "Error");
        EXPECT_EQ(r.outcome.icon, MessageIcon::kStop);
    }
    // User Management neither lists it nor starts an empty table over it.
    UserManagementOpening opening = userManagementOpen();
    expectMessage(opening.outcome, "Password Read Error!", "Error");
    EXPECT_TRUE(opening.rows.empty());
    EXPECT_EQ(fileBytes(file), damaged);
}

class ModifyPasswordDialog : public UserTableTest {
protected:
    void SetUp() override {
        UserTableTest::SetUp();
        store({admin("kqzwvx", "kqzwvx"), op("op", "old", 0x8001)});
        ASSERT_TRUE(logOnOk("op", "old").outcome.accepted);
        logOn("op", 0);
    }
};

TEST_F(ModifyPasswordDialog, NeedsTheRight) {
    EXPECT_TRUE(canModifyPassword());
    CurrentUser.rightsHi = 0x40;
    EXPECT_FALSE(canModifyPassword());
    CurrentUser.isAdmin = 1;
    EXPECT_TRUE(canModifyPassword());
}

TEST_F(ModifyPasswordDialog, MismatchComesBeforeTheOldPassword) {
    expectMessage(modifyPasswordOk("bad", "new1", "new2"), kPswMismatch, "Retry");
    EXPECT_TRUE(passwordIs(2, "old"));
}

TEST_F(ModifyPasswordDialog, TooLongComesBeforeTheOldPassword) {
    std::string longPw(20, 'x');
    DialogOutcome o = modifyPasswordOk("bad", longPw, longPw);
    expectMessage(o, "Name or Password is too long!", "Error");
    EXPECT_TRUE(passwordIs(2, "old"));
}

TEST_F(ModifyPasswordDialog, WrongOldPassword) {
    DialogOutcome o = modifyPasswordOk("Old", "new", "new");
    expectMessage(o, "Password Error!", "Error");
    EXPECT_EQ(o.icon, MessageIcon::kStop);
    EXPECT_TRUE(passwordIs(2, "old"));
}

TEST_F(ModifyPasswordDialog, WriteFailure) {
    failWrites();
    DialogOutcome o = modifyPasswordOk("old", "new", "new");
    expectMessage(o, "Password Read Error!", "Error");
    EXPECT_FALSE(o.accepted);
    EXPECT_TRUE(passwordIs(2, "old"));
}

TEST_F(ModifyPasswordDialog, SuccessKeepsNameClassAndRights) {
    CurrentUser.userIndex = 0; // the lookup with the old password finds the record again
    DialogOutcome o = modifyPasswordOk("old", "", "");
    expectMessage(o, "Success\xC2\xA3\xC2\xACKeep The New PSW In Mind!", "OK");
    EXPECT_TRUE(o.accepted);
    uint8_t isAdmin = 1;
    uint16_t rights = 0;
    EXPECT_EQ(FindUser("op", "", &isAdmin, &rights), 2);
    EXPECT_EQ(isAdmin, 0);
    EXPECT_EQ(rights, 0x8001);
    EXPECT_EQ(nameOf(1), "kqzwvx");
}

TEST_F(ModifyPasswordDialog, RightsChangedSinceTheLogOnStayChanged) {
    // Logged on with "Change PassWord" and "Set System Parameter"; an administrator (at another
    // station) then takes "Set System Parameter" away and makes the record move down by one.
    ASSERT_EQ(CurrentUser.rights(), 0x8001);
    store({op("op", "old", 0x8000)});
    DialogOutcome o = modifyPasswordOk("old", "new", "new");
    EXPECT_TRUE(o.accepted) << o.message;
    uint8_t isAdmin = 1;
    uint16_t rights = 0;
    EXPECT_EQ(FindUser("op", "new", &isAdmin, &rights), 1);
    EXPECT_EQ(rights, 0x8000) << "the revoked right came back";
    EXPECT_EQ(isAdmin, 0);
    EXPECT_EQ(readUserCount(), 1);

    // An operator made an administrator meanwhile stays one.
    store({admin("kqzwvx", "kqzwvx"), makeUserRecord("op", "new", 1, 0)});
    EXPECT_TRUE(modifyPasswordOk("new", "newer", "newer").accepted);
    EXPECT_EQ(FindUser("op", "newer", &isAdmin, &rights), 2);
    EXPECT_EQ(isAdmin, 1);
    EXPECT_EQ(rights, 0);
}

class UserManagementDialog : public UserTableTest {
protected:
    void SetUp() override {
        UserTableTest::SetUp();
        store({admin("kqzwvx", "kqzwvx"), op("bob", "pw"), op("carol", "pw")});
        logOn("kqzwvx", 1);
    }
};

TEST_F(UserManagementDialog, OpeningListsOrCreatesTheTable) {
    UserManagementOpening opening = userManagementOpen();
    EXPECT_FALSE(opening.outcome.closeDialog);
    ASSERT_EQ(opening.rows.size(), 3u);
    EXPECT_EQ(opening.rows[0].name, "kqzwvx");
    EXPECT_EQ(opening.rows[0].userClass, "Administrator");
    EXPECT_EQ(opening.rows[2].userClass, "Operator");

    std::filesystem::remove(KeyStore::keyFile(kUserKey));
    opening = userManagementOpen();
    EXPECT_FALSE(opening.outcome.closeDialog);
    EXPECT_TRUE(opening.rows.empty());
    EXPECT_EQ(raw("itemsum"), Bytes{0});

    std::filesystem::remove(KeyStore::keyFile(kUserKey));
    failWrites();
    opening = userManagementOpen();
    expectMessage(opening.outcome, "Password Read Error!", "Error");
    EXPECT_EQ(opening.outcome.icon, MessageIcon::kStop);
}

TEST_F(UserManagementDialog, ModifyAndDeleteNeedASelectedRow) {
    for (int row : {-1, 3}) {
        UserEditOpening m = userManagementModify(row);
        EXPECT_FALSE(m.open);
        expectMessage(m.outcome, "You Must Choose A User From The List First.", "Error", true);
        expectMessage(userManagementDelete(row), "You Must Choose A User From The List First.",
                      "Error", true);
    }
    EXPECT_FALSE(userManagementDeleteConfirmed(3));
    EXPECT_EQ(readUserCount(), 3);
}

TEST_F(UserManagementDialog, DeleteRefusesYourselfThenAsks) {
    expectMessage(userManagementDelete(0), "Can Not Delete Yourself!", "Error", true);
    DialogOutcome ask = userManagementDelete(1);
    expectMessage(ask, "Are You Sure To Delete User:bob ?", "OK", true);
    EXPECT_EQ(ask.buttons, MessageButtons::kYesNo);
    EXPECT_EQ(ask.icon, MessageIcon::kDanger) << "Enter alone must not delete a user";
    EXPECT_EQ(readUserCount(), 3) << "asking deletes nothing";
    EXPECT_TRUE(userManagementDeleteConfirmed(1));
    ASSERT_EQ(userRows().size(), 2u);
    EXPECT_EQ(userRows()[1].name, "carol");
}

using AddUserDialog = UserTableTest;

TEST_F(AddUserDialog, OpensAsOperatorWithDefaultRights) {
    CurrentUser.setNewRights(0x0001);
    UserEditState s = userManagementAdd();
    EXPECT_EQ(CurrentUser.newRights(), kDefaultOperatorRights);
    UserEditView v = userEditView(s);
    EXPECT_EQ(v.title, "Add User");
    EXPECT_TRUE(v.operatorChecked);
    EXPECT_FALSE(v.administratorChecked);
    EXPECT_TRUE(v.detailEnabled);
    EXPECT_EQ(v.focusField, kUserNameField);
    userEditClickAdministrator(s);
    EXPECT_FALSE(userEditView(s).detailEnabled);
    userEditClickOperator(s);
    EXPECT_TRUE(userEditView(s).detailEnabled);
}

TEST_F(AddUserDialog, BlankComesFirst) {
    store(users(99));
    UserEditState s = userManagementAdd();
    DialogOutcome o = userEditOk(s, "bob", "", "x");
    expectMessage(o, "Name or Password can't set blank!", "Error", true, kUserNameField);
    EXPECT_EQ(o.icon, MessageIcon::kStop);
    expectMessage(userEditOk(s, "", "pw", "pw"), "Name or Password can't set blank!", "Error", true,
                  kUserNameField);
    // Before the length checks too: a blank field beside one too long for its 19 bytes.
    const std::string tooLong(20, 'x');
    expectMessage(userEditOk(s, "", tooLong, tooLong), "Name or Password can't set blank!", "Error",
                  true, kUserNameField);
    expectMessage(userEditOk(s, tooLong, "", ""), "Name or Password can't set blank!", "Error",
                  true, kUserNameField);
}

TEST_F(AddUserDialog, TooLongComesBeforeMismatch) {
    UserEditState s = userManagementAdd();
    expectMessage(userEditOk(s, std::string(20, 'n'), "pw", "px"), "Name or Password is too long!",
                  "Error", true, kUserNameField);
    expectMessage(userEditOk(s, "bob", std::string(20, 'p'), "px"), "Name or Password is too long!",
                  "Error", true, kUserPasswordField);
    EXPECT_EQ(FindUser(std::string(19, 'n')), -1);
}

TEST_F(AddUserDialog, MismatchComesBeforeFullTable) {
    store(users(99));
    UserEditState s = userManagementAdd();
    expectMessage(userEditOk(s, "new", "a", "b"), "Password don't match, Please over again input!",
                  "Retry", true, kUserPasswordField);
}

TEST_F(AddUserDialog, FullTableComesBeforeExistingName) {
    store(users(99));
    UserEditState s = userManagementAdd();
    DialogOutcome o = userEditOk(s, "user7", "pw", "pw");
    expectMessage(o, "User Count Exceed 99.", "", true);
    EXPECT_EQ(o.captionId, 0);
    EXPECT_EQ(readUserCount(), 99);
}

TEST_F(AddUserDialog, ExistingName) {
    store(users(3));
    UserEditState s = userManagementAdd();
    expectMessage(userEditOk(s, "user3", "pw", "pw"), "User Name Existes! Please Retry!", "Retry",
                  true, kUserNameField);
    EXPECT_EQ(readUserCount(), 3);
}

TEST_F(AddUserDialog, WriteFailure) {
    store(users(3));
    failWrites();
    UserEditState s = userManagementAdd();
    DialogOutcome o = userEditOk(s, "new", "pw", "pw");
    expectMessage(o, "System Write Error!", "Error");
    EXPECT_FALSE(o.accepted);
    EXPECT_EQ(readUserCount(), 3);
}

TEST_F(AddUserDialog, AddsOperatorsWithTheirRightsAndAdministratorsWithNone) {
    store(users(1));
    UserEditState s = userManagementAdd();
    expectMessage(userEditOk(s, "plain", "pw", "pw"), "Adding User Success!", "OK");

    // "Detail" starts with every box unticked; what is ticked is what the new user gets.
    s = userManagementAdd();
    EXPECT_EQ(rightSettingPreset(s), 0);
    rightSettingOk(s, kRightViewSoftNote);
    EXPECT_EQ(rightSettingPreset(s), 0);
    EXPECT_TRUE(userEditOk(s, "notes", "pw", "pw").accepted);

    s = userManagementAdd();
    rightSettingOk(s, kRightSendFile);
    userEditClickAdministrator(s);
    EXPECT_TRUE(userEditOk(s, "boss", "pw", "pw").accepted);

    uint8_t isAdmin = 0;
    uint16_t rights = 0;
    ASSERT_EQ(FindUser("plain", "pw", &isAdmin, &rights), 2);
    EXPECT_EQ(rights, 0x00EE);
    ASSERT_EQ(FindUser("notes", "pw", &isAdmin, &rights), 3);
    EXPECT_EQ(rights, 0x0010);
    EXPECT_EQ(isAdmin, 0);
    ASSERT_EQ(FindUser("boss", "pw", &isAdmin, &rights), 4);
    EXPECT_EQ(isAdmin, 1);
    EXPECT_EQ(rights, 0);
    EXPECT_EQ(readUserCount(), 4);
}

class ModifyUserDialog : public UserTableTest {
protected:
    void SetUp() override {
        UserTableTest::SetUp();
        UserRecord odd = op("op", "old", 0x3FEE); // carries bits without a right
        store({admin("kqzwvx", "kqzwvx"), odd});
        logOn("kqzwvx", 1);
    }
};

TEST_F(ModifyUserDialog, OpensOnTheRecord) {
    UserEditOpening a = userManagementModify(0);
    ASSERT_TRUE(a.open);
    UserEditView v = userEditView(a.state);
    EXPECT_EQ(v.title, "Modify User");
    EXPECT_EQ(v.name, "kqzwvx");
    EXPECT_TRUE(v.nameReadOnly);
    EXPECT_TRUE(v.administratorChecked);
    EXPECT_FALSE(v.operatorEnabled);
    EXPECT_FALSE(v.detailEnabled);
    EXPECT_EQ(rightSettingPreset(a.state), kAllRights);
    userEditClickOperator(a.state);
    EXPECT_TRUE(userEditView(a.state).administratorChecked) << "Operator is disabled";

    UserEditOpening o = userManagementModify(1);
    v = userEditView(o.state);
    EXPECT_TRUE(v.operatorChecked);
    EXPECT_TRUE(v.detailEnabled);
    EXPECT_EQ(rightSettingPreset(o.state), 0x00EE);
}

TEST_F(ModifyUserDialog, MismatchKeepsTheDialogOpen) {
    UserEditState s = userManagementModify(1).state;
    expectMessage(userEditOk(s, "", "new", ""), kPswMismatch, "Retry", true, kUserPasswordField);
    EXPECT_TRUE(passwordIs(2, "old"));
}

TEST_F(ModifyUserDialog, EmptyPasswordsKeepThePasswordAndTheClass) {
    UserEditState s = userManagementModify(1).state;
    rightSettingOk(s, kRightViewSoftNote | kRightChangePassword);
    userEditClickAdministrator(s); // only enables or disables "Detail" here
    DialogOutcome o = userEditOk(s, "ignored", "", "");
    expectMessage(o, "User Information Is Modified Success!", "OK");
    uint8_t isAdmin = 1;
    uint16_t rights = 0;
    ASSERT_EQ(FindUser("op", "old", &isAdmin, &rights), 2);
    EXPECT_EQ(isAdmin, 0);
    EXPECT_EQ(rights, 0x8010) << "bits without a right are cleared";
}

TEST_F(ModifyUserDialog, NewPasswordIsStored) {
    UserEditState s = userManagementModify(1).state;
    EXPECT_TRUE(userEditOk(s, "", "new", "new").accepted);
    EXPECT_TRUE(passwordIs(2, "new"));
}

TEST_F(ModifyUserDialog, VanishedRecordOrWriteFailureLosesTheModification) {
    UserEditState s = userManagementModify(1).state;
    ASSERT_EQ(deleteUser(2), UserChange::kOk);
    DialogOutcome o = userEditOk(s, "", "new", "new");
    expectMessage(o, "System Write Error, Modification Lost!", "Error");
    EXPECT_EQ(o.icon, MessageIcon::kStop);
    EXPECT_EQ(readUserCount(), 1);
    EXPECT_TRUE(raw("item-1").empty());

    s = userManagementModify(0).state;
    failWrites();
    expectMessage(userEditOk(s, "", "new", "new"), "System Write Error, Modification Lost!",
                  "Error");
    EXPECT_TRUE(passwordIs(1, "kqzwvx"));
}

} // namespace
