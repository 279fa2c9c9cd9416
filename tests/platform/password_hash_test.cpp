// Password hashes as the user table keeps them, on every system: salted, self-describing (a hash
// keeps the cost it was made with), and a hash changed anywhere grants nothing.
#include "platform/PasswordHash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using Hash = char[kPasswordHashSize];

class PasswordHashTest : public ::testing::Test {
protected:
    PasswordHashTest() { SetPasswordHashCost(CheapestPasswordHashCost()); }
    ~PasswordHashTest() override { SetPasswordHashCost(InteractivePasswordHashCost()); }
};

TEST_F(PasswordHashTest, AHashVerifiesItsPasswordAloneAndKeepsItsCost) {
    Hash first, second, empty;
    ASSERT_TRUE(HashPassword("pw-1", first));
    ASSERT_TRUE(HashPassword("pw-1", second));
    ASSERT_TRUE(HashPassword("", empty));
    for (const Hash* h : {&first, &second, &empty}) {
        EXPECT_TRUE(WellFormedPasswordHash(*h));
        const std::string text(*h);
        EXPECT_EQ(text.find("pw-1"), std::string::npos) << "no clear text in " << text;
        EXPECT_EQ(text.find('-'), std::string::npos) << text;
    }
    EXPECT_NE(std::string(first), std::string(second)) << "each hash has a salt of its own";
    EXPECT_TRUE(PasswordMatches(first, "pw-1"));
    EXPECT_TRUE(PasswordMatches(second, "pw-1"));
    for (const char* other : {"pw-2", "pw-1 ", "pw-", "PW-1", ""})
        EXPECT_FALSE(PasswordMatches(first, other)) << other;
    EXPECT_TRUE(PasswordMatches(empty, ""));
    EXPECT_FALSE(PasswordMatches(empty, "a"));

    // A dearer cost from now on: the old hash still verifies, the new one says its own cost.
    PasswordHashCost dearer = CheapestPasswordHashCost();
    dearer.passes += 1;
    SetPasswordHashCost(dearer);
    Hash later;
    ASSERT_TRUE(HashPassword("pw-1", later));
    EXPECT_TRUE(PasswordMatches(first, "pw-1"));
    EXPECT_TRUE(PasswordMatches(later, "pw-1"));
    EXPECT_NE(std::string(later).substr(0, 24), std::string(first).substr(0, 24));
}

TEST_F(PasswordHashTest, AHashChangedAnywhereGrantsNothing) {
    Hash good;
    ASSERT_TRUE(HashPassword("pw-1", good));
    const size_t length = std::strlen(good);
    ASSERT_GT(length, 40u);
    for (size_t at = 0; at < length; ++at) {
        Hash bad;
        std::memcpy(bad, good, sizeof bad);
        bad[at] = bad[at] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(PasswordMatches(bad, "pw-1")) << "changed at " << at << ": " << bad;
    }
    Hash cut;
    std::memcpy(cut, good, sizeof cut);
    cut[length - 1] = 0;
    EXPECT_FALSE(PasswordMatches(cut, "pw-1"));
    Hash unterminated;
    std::memset(unterminated, 'x', sizeof unterminated);
    std::memcpy(unterminated, good, length);
    EXPECT_FALSE(WellFormedPasswordHash(unterminated));
    EXPECT_FALSE(PasswordMatches(unterminated, "pw-1"));
    Hash none{};
    EXPECT_FALSE(WellFormedPasswordHash(none));
    EXPECT_FALSE(PasswordMatches(none, ""));
}

} // namespace
