// A user table in a temporary per-user settings folder, and a clean log-on state, for every test.
#pragma once

#include "TestSupport.h"
#include "platform/KeyStore.h"
#include "users/CurrentUser.h"
#include "users/UserStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class UserTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = testsupport::MakeTempFolder("talvorn-users");
        testsupport::SetUserSettingsFolder(base_);
        CurrentUser = LogOnState{};
    }
    void TearDown() override {
        CurrentUser = LogOnState{};
        std::filesystem::remove_all(base_);
    }

    static UserRecord op(const char* name, const char* password, uint16_t rights = 0xEE) {
        return makeUserRecord(name, password, 0, rights);
    }
    static UserRecord admin(const char* name, const char* password) {
        return makeUserRecord(name, password, 1, 0);
    }
    // Writes the records as item01.. and their count, bypassing every check.
    static void store(const std::vector<UserRecord>& records) {
        std::vector<KeyValueChange> changes;
        for (size_t i = 0; i < records.size(); ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(&records[i]);
            changes.push_back({userValueName(int(i) + 1), Bytes(p, p + sizeof(UserRecord))});
        }
        changes.push_back({kUserCountValue, Bytes{uint8_t(records.size())}});
        ASSERT_TRUE(KeyStore::update(kUserKey, changes));
    }
    static Bytes raw(const std::string& valueName) {
        Bytes v;
        KeyStore::getValue(kUserKey, valueName, v);
        return v;
    }
    static void putRaw(const std::string& valueName, const Bytes& bytes) {
        ASSERT_TRUE(KeyStore::setValue(kUserKey, valueName, bytes.data(), bytes.size()));
    }
    static Bytes fileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void writeFile(const std::string& path, const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::string nameOf(int record) {
        UserRecord r;
        return readUserRecord(record, r) ? userName(r) : "<bad>";
    }
    static bool passwordIs(int record, const std::string& password) {
        return testsupport::StoredPasswordIs(record, password);
    }
    // Reads keep working, every write of the table fails.
    static void failWrites() {
        std::string lock = KeyStore::keyFile(kUserKey) + ".lock";
        std::filesystem::remove(lock);
        std::filesystem::create_directories(lock);
    }
    static std::vector<UserRecord> users(int n) {
        std::vector<UserRecord> v{admin("kqzwvx", "kqzwvx")};
        for (int i = 2; i <= n; ++i)
            v.push_back(op(("user" + std::to_string(i)).c_str(), "pw"));
        return v;
    }

    std::string base_;
    testsupport::CheapPasswordHashes cheapHashes_;
};
