#include "CliSystem.h"

#include "platform/Win32Text.h"

#include <atomic>
#include <csignal>

#include <windows.h>

#include <shellapi.h>

namespace cli {

namespace {

std::atomic<int> g_signal{0};
std::atomic<int> g_count{0};

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        g_signal = SIGINT;
        break;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_signal = SIGTERM;
        break;
    default:
        return FALSE;
    }
    ++g_count;
    return TRUE; // handled: the process is not ended here
}

} // namespace

std::string AccountName() {
    wchar_t name[256 + 1];
    DWORD size = sizeof name / sizeof name[0];
    if (::GetUserNameW(name, &size) && size > 1)
        return Utf8(std::wstring(name, size - 1));
    return "user";
}

void InstallStopHandlers() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopRequest StopRequested() {
    return StopRequest{g_signal.load(), g_count.load()};
}

// Console events arrive on a thread of their own, never on the link's threads: nothing to block.
struct StopRequestsBlocked::Saved {};
StopRequestsBlocked::StopRequestsBlocked() = default;
StopRequestsBlocked::~StopRequestsBlocked() = default;

bool ErrorsGoToTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int TerminalWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0)
            return width;
    }
    return 80;
}

// The arguments as the system holds them (UTF-16), not as the code page turned them into bytes.
std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i)
        out.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
    return out;
}

} // namespace cli
