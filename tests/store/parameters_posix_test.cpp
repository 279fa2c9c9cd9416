// Parameter-file cases that need the account "nobody".
#include "store/IniFile.h"
#include "store/SystemParameters.h"

#include "TempWorkDir.h"

#include "ChildProcesses.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using IniHelpers = TempWorkDir;
using Parameters = TempWorkDir;

TEST_F(Parameters, LoadFailsInAReadOnlyFolder) {
    // Read-only for everyone; loading runs as an account that the folder's modes apply to.
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    const int status = testsupport::RunUnprivileged([] { return LoadParameters() ? 1 : 0; });
    EXPECT_EQ(status, 0) << "1: loading succeeded without a parameter file";
    EXPECT_FALSE(fs::exists(file("Para.ini")));
}

} // namespace
