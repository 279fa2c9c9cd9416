#include "PortCheck.h"

#include "platform/Win32Text.h"

#include <windows.h>

namespace cli {

std::string DescribePortFailure(const std::string& device) {
    if (device.empty())
        return "not a port name (COM1 to COM9, or a device path beginning with \\\\.\\)";
    HANDLE h = ::CreateFileW(Utf16(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "the device does not exist";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            // A COM port that another program has open answers "access denied".
            return "the device is busy (another program has it open)";
        default:
            return "the device could not be opened (error " + std::to_string(::GetLastError()) +
                   ")";
        }
    }
    DCB d{};
    d.DCBlength = sizeof d;
    const bool isPort = ::GetCommState(h, &d) != 0;
    ::CloseHandle(h);
    return isPort ? "the device could not be set up as a serial line" : "not a serial port";
}

} // namespace cli
