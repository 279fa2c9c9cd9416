// Windows only: names cross the system boundary in UTF-16, while the station keeps UTF-8.
#pragma once

#include <string>

// UTF-8 to UTF-16 and back; bytes that are not valid UTF-8 become U+FFFD.
std::wstring Utf16(const std::string& utf8);
std::string Utf8(const std::wstring& utf16);
// The errno value that stands for a Win32 error code (EIO for the ones without a match).
int ErrnoOfWin32(unsigned long error);
