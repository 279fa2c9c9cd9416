// Why a port cannot be opened, on POSIX: terminals, pseudo-terminals and flock.
#include "PortCheck.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace cli {
namespace {

TEST(PortCheckTest, NamesTheReason) {
    testsupport::TempDir dir;
    EXPECT_EQ(DescribePortFailure(dir / "ttyX"), "the device does not exist");
    std::ofstream(dir / "plain") << "x";
    EXPECT_EQ(DescribePortFailure(dir / "plain"), "not a terminal");
    EXPECT_EQ(DescribePortFailure("/dev/null"), "not a terminal");
    EXPECT_NE(DescribePortFailure("").find("not a port name"), std::string::npos);

    // A terminal that another program holds.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    const int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_NE(DescribePortFailure(slave).find("busy"), std::string::npos);
    ::flock(holder, LOCK_UN);
    EXPECT_EQ(DescribePortFailure(slave).find("busy"), std::string::npos);
    ::close(holder);
    ::close(master);
}

} // namespace
} // namespace cli
