// INI cases of the Windows side: writers in two processes (LockFileEx and MoveFileExW under
// contention), and a wait for a lock that another holder has. The writers are this test program
// itself, started again with a filter that runs only the writer's case.
#include "platform/FileIo.h"
#include "platform/PrivateProfile.h"
#include "platform/Win32Text.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
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

TEST(IniOnWindows, AWaitForALockIsToldAboutAndCanBeGivenUp) {
    testsupport::TempDir dir;
    const std::string f = dir / "held.ini";
    ProfileClearCache();
    ASSERT_TRUE(ProfileSetString(f, "S", "k", "old"));
    const std::string lockFile = ProfileLockPath(f);
    // Another handle's lock, which this process's locks wait for as for another process's.
    HANDLE holder =
        ::CreateFileW(Utf16(lockFile).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    OVERLAPPED at{};
    ASSERT_TRUE(::LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));

    std::vector<FileLockWait> told;
    std::function<bool()> onThird = [] { return false; };
    SetFileLockWaitHook([&](const FileLockWait& w) {
        told.push_back(w);
        return told.size() < 3 || w.over || onThird();
    });
    EXPECT_FALSE(ProfileSetString(f, "S", "k", "new"));
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[0].lockPath, lockFile);
    EXPECT_FALSE(told[0].over || told[1].over || told[2].over);
    EXPECT_GE(told[2].waited, 2 * kFileLockWaitSlice);
    EXPECT_TRUE(told[3].over);
    told.clear();
    {
        FileLock lock(lockFile);
        EXPECT_FALSE(lock.held());
        EXPECT_EQ(lock.error(), EINTR);
    }
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "old");

    // The holder lets go during the wait: the write goes through, and the hook hears the end.
    told.clear();
    onThird = [&] {
        OVERLAPPED region{};
        ::UnlockFileEx(holder, 0, 1, 0, &region);
        return true;
    };
    EXPECT_TRUE(ProfileSetString(f, "S", "k", "new"));
    ASSERT_GE(told.size(), 4u);
    EXPECT_TRUE(told.back().over);
    EXPECT_EQ(ProfileGetString(f, "S", "k", ""), "new");
    SetFileLockWaitHook(nullptr);
    ::CloseHandle(holder);
}

} // namespace
