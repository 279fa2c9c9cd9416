// User-table cases that need fork: writers in two processes.
#include "UserTableFixture.h"

#include "ChildProcesses.h"

#include <cstring>

namespace {

TEST_F(UserTableTest, UsersAddedByTwoProcessesAtOnceAreAllKept) {
    store(users(1));
    constexpr int kEach = 30;
    auto adder = [](const std::string& prefix) {
        return [prefix] {
            for (int i = 0; i < kEach; ++i)
                if (addUser(op((prefix + std::to_string(i)).c_str(), "pw")) != UserChange::kOk)
                    return 1;
            return 0;
        };
    };
    EXPECT_EQ(testsupport::RunTogether({adder("a"), adder("b")}), (std::vector<int>{0, 0}));
    EXPECT_EQ(readUserCount(), 1 + 2 * kEach);
    for (int i = 0; i < kEach; ++i)
        for (const char* prefix : {"a", "b"})
            EXPECT_GE(FindUser(prefix + std::to_string(i)), 2) << prefix << i;
}

} // namespace
