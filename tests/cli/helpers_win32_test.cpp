// Why a port cannot be opened, on Windows.
#include "PortCheck.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace cli {
namespace {

TEST(PortCheckOnWindows, NamesTheReason) {
    testsupport::TempDir dir;
    EXPECT_EQ(DescribePortFailure("\\\\.\\TALVORN-NO-SUCH-PORT"), "the device does not exist");
    // A file opens, but it takes no line settings.
    std::ofstream(dir / "plain") << "x";
    EXPECT_EQ(DescribePortFailure(dir / "plain"), "not a serial port");
    EXPECT_NE(DescribePortFailure("").find("not a port name"), std::string::npos);
}

} // namespace
} // namespace cli
