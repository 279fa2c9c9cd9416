// INI cases of the Windows side: writers in two processes (LockFileEx and MoveFileExW under
// contention). The writers are this test program itself, started again with a filter that runs
// only the writer's case.
#include "platform/PrivateProfile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

namespace {

constexpr int kWrites = 50;
constexpr const char* kWriterFile = "TALVORN_TEST_INI_FILE";
constexpr const char* kWriterName = "TALVORN_TEST_INI_WRITER";

// The writer's side: runs only in a child that the case below started.
TEST(IniOnWindows, Writer) {
    const char* file = std::getenv(kWriterFile);
    const char* who = std::getenv(kWriterName);
    if (file == nullptr || who == nullptr || *file == 0)
        GTEST_SKIP() << "runs as a child of WritersInTwoProcessesLoseNothing";
    for (int i = 0; i < kWrites; ++i)
        ASSERT_TRUE(ProfileSetString(file, "S", who + std::to_string(i), "v")) << i;
}

PROCESS_INFORMATION StartWriter(const std::string& file, const std::string& who) {
    testsupport::SetEnv(kWriterFile, file);
    testsupport::SetEnv(kWriterName, who);
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=IniOnWindows.Writer";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        process.hProcess = nullptr;
    return process;
}

TEST(IniOnWindows, WritersInTwoProcessesLoseNothing) {
    // The station and talvorn-cli on one working folder, each changing one file many times.
    testsupport::TempDir dir;
    const std::string f = dir / "shared.ini";
    ProfileClearCache();
    ASSERT_TRUE(ProfileSetString(f, "S", "start", "1"));
    std::vector<PROCESS_INFORMATION> writers{StartWriter(f, "a"), StartWriter(f, "b")};
    testsupport::UnsetEnv(kWriterFile);
    testsupport::UnsetEnv(kWriterName);
    for (PROCESS_INFORMATION& w : writers) {
        ASSERT_NE(w.hProcess, nullptr);
        ASSERT_EQ(::WaitForSingleObject(w.hProcess, 120000), WAIT_OBJECT_0);
        DWORD status = 1;
        ::GetExitCodeProcess(w.hProcess, &status);
        EXPECT_EQ(status, 0u);
        ::CloseHandle(w.hProcess);
        ::CloseHandle(w.hThread);
    }
    int found = 0;
    for (int i = 0; i < kWrites; ++i)
        for (const char* who : {"a", "b"})
            found += ProfileGetString(f, "S", who + std::to_string(i), "") == "v" ? 1 : 0;
    EXPECT_EQ(found, 2 * kWrites);
    EXPECT_EQ(ProfileGetString(f, "S", "start", ""), "1");
}

} // namespace
