// A send, delete or clear that the event log cannot record is refused before a port is opened or
// anything is queued; a query, which is not logged, goes ahead.
#include "CliRun.h"

#include "store/EventLog.h"
#include "store/SystemParameters.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace cli {
namespace {

namespace fs = std::filesystem;

TEST(UnloggedCommandTest, IsRefusedWithTheReason) {
    const std::string dir = testsupport::MakeTempFolder("talvorn-cli-audit");
    std::ofstream(dir + "/Para.ini") << "[SYS_PARA]\nChannel1ComID=COM1\nChannel1ComSum=2\n"
                                        "Channel1ComSpeed=3\n";
    const std::string file = dir + "/a.dst";
    std::ofstream(file, std::ios::binary) << std::string(100, '\x5a');
    // A device path that names nothing (on Windows, device paths live under "\\.\").
    const std::string noPort =
        testsupport::kOnWindows ? "\\\\.\\TALVORN-NO-SUCH-LINE" : dir + "/no-such-line";

    auto run = [&](Command command, std::vector<std::string> operands, std::string* err) {
        Options o;
        o.workDir = dir;
        o.port = noPort;
        o.command = command;
        o.nodes = "0";
        o.operands = std::move(operands);
        std::ostringstream out, errors;
        RunIo io{out, errors, false, 80, {}};
        const int status = cli::Run(o, io);
        *err = errors.str();
        EXPECT_EQ(out.str(), "");
        return status;
    };

    std::string err;
    // A log that can be written lets the command go on to the port, which is missing here.
    EXPECT_EQ(run(Command::Clear, {}, &err), kExitUsage);
    EXPECT_NE(err.find("does not exist"), std::string::npos) << err;

    // The item file's place is taken by a folder: no event can be logged on channel 1.
    fs::create_directory(dir + "/item1.ini");
    const std::string refusal = "talvorn-cli: cannot write the event log: " + dir +
                                "/item1.ini is not a file; nothing was queued\n";
    EXPECT_EQ(run(Command::Send, {file}, &err), kExitFailed);
    EXPECT_EQ(err, refusal);
    EXPECT_EQ(run(Command::Delete, {"A.DST"}, &err), kExitFailed);
    EXPECT_EQ(err, refusal);
    EXPECT_EQ(run(Command::Clear, {}, &err), kExitFailed);
    EXPECT_EQ(err, refusal);
    EXPECT_EQ(run(Command::Query, {}, &err), kExitUsage);
    EXPECT_NE(err.find("does not exist"), std::string::npos) << err;

    ResetParameters();
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace
} // namespace cli
