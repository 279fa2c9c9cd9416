// The user dialogs driven as an operator drives them, through the commands' entry points; every
// case asserts on what the user table then holds.
#include "DialogReview.h"
#include "GuiFixture.h"
#include "TestSupport.h"

#include "gui/dialogs/ModifyPasswordDialog.h"
#include "gui/dialogs/RightSettingDialog.h"
#include "gui/dialogs/UserEditDialog.h"
#include "gui/dialogs/UserManagementDialog.h"
#include "gui/kit/DialogTable.h"
#include "platform/KeyStore.h"
#include "store/SystemParameters.h"
#include "users/CurrentUser.h"
#include "users/UserStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using Bytes = std::vector<uint8_t>;

class UserDialogs : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        ASSERT_TRUE(LoadParameters()); // the list colours
    }
    // Writes the records as item01.. and their count, and logs the first one on.
    void store(const std::vector<UserRecord>& records) {
        std::vector<KeyValueChange> changes;
        for (size_t i = 0; i < records.size(); ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(&records[i]);
            changes.push_back({userValueName(int(i) + 1), Bytes(p, p + sizeof(UserRecord))});
        }
        changes.push_back({kUserCountValue, Bytes{uint8_t(records.size())}});
        ASSERT_TRUE(KeyStore::update(kUserKey, changes));
        const UserRecord& me = records.front();
        CurrentUser.rightsLo = me.rightsLo;
        CurrentUser.rightsHi = me.rightsHi;
        CurrentUser.userIndex = 1;
        logOn(userName(me), me.isAdmin);
    }
    static UserRecord record(int n) {
        UserRecord r;
        EXPECT_TRUE(readUserRecord(n, r));
        return r;
    }
    static void type(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    template <class T> static T& as(QDialog& d) {
        T* t = qobject_cast<T*>(&d);
        EXPECT_NE(t, nullptr) << d.objectName().toStdString();
        return *t;
    }
};

TEST_F(UserDialogs, AddUserChecksInOrderAndWritesTheNewOperator) {
    store({makeUserRecord("kqzwvx", "kqzwvx", 1, 0), makeUserRecord("amy", "pw", 0, 0xEE)});

    prompts.onDialog([&](QDialog& d) {
        auto& m = as<UserManagementDialog>(d);
        EXPECT_EQ(m.windowTitle(), "User Management");
        EXPECT_EQ(m.list()->tableModel()->rowCount(), 2);
        EXPECT_EQ(m.list()->tableModel()->cell(1, 1), "Operator");
        QTest::mouseClick(m.addButton(), Qt::LeftButton);
        EXPECT_EQ(m.list()->tableModel()->rowCount(), 3);
        EXPECT_EQ(m.list()->tableModel()->cell(2, 0), "bob");
        QTest::mouseClick(m.backButton(), Qt::LeftButton);
        return -1;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& e = as<UserEditDialog>(d);
        EXPECT_EQ(e.windowTitle(), "Add User");
        EXPECT_TRUE(e.operatorButton()->isChecked());
        EXPECT_FALSE(e.administratorButton()->isChecked());
        EXPECT_TRUE(e.detailButton()->isEnabled());
        EXPECT_EQ(QApplication::focusWidget(), e.nameEdit());
        ExpectLabelledControls(e);
        SaveReviewShot(e, "add_user");

        // 1. A name without a password: blank, focus back to the name.
        type(e.nameEdit(), "bob");
        QTest::keyClick(e.nameEdit(), Qt::Key_Return); // Enter is OK
        EXPECT_EQ(prompts.messages().value(0), "Name or Password can't set blank!");
        EXPECT_EQ(prompts.shown().back().caption, "Error");
        EXPECT_EQ(prompts.shown().back().icon, Prompter::Icon::Stop);
        EXPECT_EQ(QApplication::focusWidget(), e.nameEdit());
        // 2. Password and confirmation differ.
        type(e.passwordEdit(), "abc");
        type(e.confirmEdit(), "abd");
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages().value(1), "Password don't match, Please over again input!");
        EXPECT_EQ(prompts.shown().back().caption, "Retry");
        EXPECT_EQ(QApplication::focusWidget(), e.passwordEdit());
        // 3. (the count, below) 5. An existing name, case and all.
        type(e.nameEdit(), "amy");
        type(e.confirmEdit(), "abc");
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages().value(2), "User Name Existes! Please Retry!");
        EXPECT_EQ(QApplication::focusWidget(), e.nameEdit());
        EXPECT_TRUE(e.isVisible());
        EXPECT_EQ(readUserCount(), 2);
        // 6. Written; the dialog closes.
        type(e.nameEdit(), "bob");
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages().value(3), "Adding User Success!");
        EXPECT_EQ(prompts.shown().back().caption, "OK");
        return -1;
    });
    RunUserManagement(nullptr);
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
    ASSERT_EQ(readUserCount(), 3);
    EXPECT_EQ(userName(record(3)), "bob");
    EXPECT_TRUE(testsupport::StoredPasswordIs(3, "abc"));
    EXPECT_EQ(record(3).isAdmin, 0);
    EXPECT_EQ(record(3).rights(), 0x00EE); // no Detail: the default operator rights

    // With 99 users the count is checked before the name: an existing name still hears the count.
    std::vector<UserRecord> full{makeUserRecord("kqzwvx", "kqzwvx", 1, 0)};
    for (int i = 2; i <= 99; ++i)
        full.push_back(makeUserRecord("user" + std::to_string(i), "pw", 0, 0xEE));
    store(full);
    prompts.clear();
    prompts.onDialog([&](QDialog& d) {
        QTest::mouseClick(as<UserManagementDialog>(d).addButton(), Qt::LeftButton);
        return QDialog::Accepted;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& e = as<UserEditDialog>(d);
        type(e.nameEdit(), "user5");
        type(e.passwordEdit(), "x");
        type(e.confirmEdit(), "x");
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages(), QStringList{"User Count Exceed 99."});
        EXPECT_EQ(prompts.shown().back().caption, "");
        EXPECT_TRUE(e.isVisible());
        QTest::mouseClick(e.cancelButton(), Qt::LeftButton);
        return -1;
    });
    RunUserManagement(nullptr);
    EXPECT_EQ(readUserCount(), 99);
    EXPECT_TRUE(KeyStore::listValues(kUserKey).size() == 100u); // itemsum + item01..item99
}

TEST_F(UserDialogs, DetailRightsAndModifyKeepingThePassword) {
    store({makeUserRecord("kqzwvx", "kqzwvx", 1, 0), makeUserRecord("amy", "old", 0, 0xEE)});

    // Add with Detail: only "View Soft Note" ticked gives 0x10.
    prompts.onDialog([&](QDialog& d) {
        QTest::mouseClick(as<UserManagementDialog>(d).addButton(), Qt::LeftButton);
        return QDialog::Accepted;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& e = as<UserEditDialog>(d);
        type(e.nameEdit(), "cal");
        type(e.passwordEdit(), "pw");
        type(e.confirmEdit(), "pw");
        QTest::mouseClick(e.detailButton(), Qt::LeftButton);
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        return -1;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& r = as<RightSettingDialog>(d);
        EXPECT_EQ(r.windowTitle(), "Right Setting");
        SaveReviewShot(r, "right_setting");
        // A new user's boxes start unticked.
        EXPECT_EQ(r.ticked(), 0);
        EXPECT_EQ(r.findChildren<QCheckBox*>().size(), 10);
        // From the keyboard: Space ticks the focused box.
        r.box(kRightViewSoftNote)->setFocus();
        QTest::keyClick(r.box(kRightViewSoftNote), Qt::Key_Space);
        EXPECT_EQ(r.ticked(), kRightViewSoftNote);
        QTest::mouseClick(r.okButton(), Qt::LeftButton);
        return -1;
    });
    RunUserManagement(nullptr);
    ASSERT_EQ(readUserCount(), 3);
    EXPECT_EQ(record(3).rightsLo, 0x10);
    EXPECT_EQ(record(3).rightsHi, 0x00);

    // Modify amy with both password boxes empty: the password stays, only the rights change.
    prompts.clear();
    prompts.onDialog([&](QDialog& d) {
        auto& m = as<UserManagementDialog>(d);
        QTest::mouseClick(m.modifyButton(), Qt::LeftButton); // nothing selected
        EXPECT_EQ(prompts.messages().value(0), "You Must Choose A User From The List First.");
        m.list()->selectRow(1);
        QTest::mouseClick(m.modifyButton(), Qt::LeftButton);
        return QDialog::Accepted;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& e = as<UserEditDialog>(d);
        EXPECT_EQ(e.windowTitle(), "Modify User");
        EXPECT_EQ(e.nameEdit()->text(), "amy");
        EXPECT_TRUE(e.nameEdit()->isReadOnly());
        EXPECT_TRUE(e.passwordEdit()->text().isEmpty());
        QTest::mouseClick(e.detailButton(), Qt::LeftButton);
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages().value(1), "User Information Is Modified Success!");
        return -1;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& r = as<RightSettingDialog>(d);
        EXPECT_EQ(r.ticked(), 0x00EE); // the record's rights
        QTest::mouseClick(r.box(kRightChangePassword), Qt::LeftButton);
        QTest::mouseClick(r.box(kRightSendFile), Qt::LeftButton);
        QTest::mouseClick(r.okButton(), Qt::LeftButton);
        return -1;
    });
    RunUserManagement(nullptr);
    EXPECT_TRUE(testsupport::StoredPasswordIs(2, "old"));
    EXPECT_EQ(record(2).rights(), 0x80E6);
    EXPECT_EQ(prompts.unusedAnswers(), 0u);
}

TEST_F(UserDialogs, DeleteRefusesYourselfAndAsksBeforeAnyoneElse) {
    store({makeUserRecord("kqzwvx", "kqzwvx", 1, 0), makeUserRecord("amy", "a", 0, 0xEE),
           makeUserRecord("bob", "b", 0, 0xEE)});
    prompts.answer(false);
    prompts.answer(true);
    prompts.onDialog([&](QDialog& d) {
        auto& m = as<UserManagementDialog>(d);
        SaveReviewShot(m, "user_management");
        // Keyboard: the list takes the focus, Space selects the focused row, Down the next.
        EXPECT_EQ(QApplication::focusWidget(), m.list());
        QTest::keyClick(m.list(), Qt::Key_Space);
        EXPECT_EQ(m.list()->selectedRow(), 0);
        QTest::mouseClick(m.deleteButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages().value(0), "Can Not Delete Yourself!");

        m.list()->setFocus();
        QTest::keyClick(m.list(), Qt::Key_Down);
        EXPECT_EQ(m.list()->selectedRow(), 1);
        QTest::mouseClick(m.deleteButton(), Qt::LeftButton); // answered No
        EXPECT_EQ(m.list()->tableModel()->rowCount(), 3);
        QTest::mouseClick(m.deleteButton(), Qt::LeftButton); // answered Yes
        EXPECT_EQ(m.list()->tableModel()->rowCount(), 2);
        EXPECT_EQ(m.list()->tableModel()->cell(1, 0), "bob");
        return QDialog::Accepted;
    });
    RunUserManagement(nullptr);
    auto questions = prompts.shownOf("question");
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].text, "Are You Sure To Delete User:amy ?");
    EXPECT_EQ(questions[0].caption, "OK");
    EXPECT_EQ(questions[0].icon, Prompter::Icon::Danger) << "No must be the default button";
    EXPECT_EQ(readUserCount(), 2);
    EXPECT_EQ(userName(record(1)), "kqzwvx");
    EXPECT_EQ(userName(record(2)), "bob");

    // An operator does not get the dialog at all, and sees nothing.
    logOff();
    logOn("amy", 0);
    prompts.clear();
    RunUserManagement(nullptr);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(UserDialogs, ModifyPasswordOutcomes) {
    store({makeUserRecord("amy", "old", 0, 0xEE | kRightChangePassword)});
    auto run = [&](const QString& oldPw, const QString& newPw, const QString& confirm) {
        prompts.clear();
        prompts.onDialog([&](QDialog& d) {
            auto& m = as<ModifyPasswordDialog>(d);
            EXPECT_EQ(m.windowTitle(), "Modify Password");
            EXPECT_EQ(QApplication::focusWidget(), m.oldPasswordEdit());
            EXPECT_EQ(m.newPasswordEdit()->echoMode(), QLineEdit::Password);
            type(m.oldPasswordEdit(), oldPw);
            type(m.newPasswordEdit(), newPw);
            type(m.confirmPasswordEdit(), confirm);
            QTest::keyClick(m.confirmPasswordEdit(), Qt::Key_Return);
            return -1;
        });
        RunModifyPassword(nullptr);
        EXPECT_EQ(prompts.messages().size(), 1);
        return prompts.shownOf("message").at(0);
    };

    auto shown = run("old", "new1", "new2");
    EXPECT_EQ(shown.text, "Password don't match!\u00a3\u00acPlease Retry!");
    EXPECT_EQ(shown.caption, "Retry");
    shown = run("wrong", "new", "new");
    EXPECT_EQ(shown.text, "Password Error!");
    EXPECT_EQ(shown.icon, Prompter::Icon::Stop);
    EXPECT_TRUE(testsupport::StoredPasswordIs(1, "old"));
    shown = run("old", "new", "new");
    EXPECT_EQ(shown.text, "Success\u00a3\u00acKeep The New PSW In Mind!");
    EXPECT_EQ(shown.caption, "OK");
    EXPECT_TRUE(testsupport::StoredPasswordIs(1, "new"));
    EXPECT_EQ(record(1).rights(), 0xEE | kRightChangePassword);

    // CANCEL ends the command; without the right nothing opens.
    prompts.clear();
    prompts.onDialog([&](QDialog& d) {
        ExpectLabelledControls(d);
        SaveReviewShot(d, "modify_password");
        QTest::keyClick(&d, Qt::Key_Escape);
        return -1;
    });
    RunModifyPassword(nullptr);
    EXPECT_TRUE(prompts.messages().isEmpty());
    CurrentUser.rightsHi = 0;
    prompts.clear();
    RunModifyPassword(nullptr);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(UserDialogs, NamesAndPasswordsAreLimitedToNineteenBytes) {
    store({makeUserRecord("kqzwvx", "kqzwvx", 1, 0)});
    const QString six = QString::fromUtf8("\xe6\x9c\xba\xe6\x9c\xba\xe6\x9c\xba\xe6\x9c\xba"
                                          "\xe6\x9c\xba\xe6\x9c\xba"); // 6 characters, 18 bytes
    prompts.onDialog([&](QDialog& d) {
        QTest::mouseClick(as<UserManagementDialog>(d).addButton(), Qt::LeftButton);
        return QDialog::Accepted;
    });
    prompts.onDialog([&](QDialog& d) {
        auto& e = as<UserEditDialog>(d);
        // Text arrives from an input method as committed strings.
        auto commit = [&](QLineEdit* edit, const QString& text) {
            QInputMethodEvent ev;
            ev.setCommitString(text);
            QApplication::sendEvent(edit, &ev);
        };
        commit(e.nameEdit(), six);
        commit(e.nameEdit(), QString::fromUtf8("\xe6\x9c\xba")); // a seventh: 21 bytes, refused
        commit(e.nameEdit(), "a");                               // one more byte fits
        EXPECT_EQ(e.nameEdit()->text(), six + "a");
        QTest::keyClicks(e.passwordEdit(), QString(25, 'p'));
        EXPECT_EQ(e.passwordEdit()->text().size(), 19);
        QTest::keyClicks(e.confirmEdit(), QString(19, 'p'));
        QTest::mouseClick(e.okButton(), Qt::LeftButton);
        return -1;
    });
    RunUserManagement(nullptr);
    ASSERT_EQ(readUserCount(), 2);
    EXPECT_EQ(userName(record(2)), (six + "a").toStdString());
    EXPECT_TRUE(testsupport::StoredPasswordIs(2, std::string(19, 'p')));
}

} // namespace
