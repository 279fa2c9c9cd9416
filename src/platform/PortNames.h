// Port names as the station's configuration holds them ("COM1" … "COM9") mapped to devices.
#pragma once

#include <string>

// "COM1" … "COM9" (any case) resolve through section "PORTS" of the parameter file
// (COM1=/dev/ttyUSB0, key in any case); without an entry COMn is the system's own port n
// (DefaultPortDevice). An entry that is not a device path makes the port unusable rather than
// opening something relative to the working folder. A device path stands as it is. Anything else
// (empty, "COM10", "LPT1") is not a port and resolves to "".
std::string ResolvePortName(const std::string& name, const std::string& paraIniPath);

// Per system: whether a name is a device path as it stands (POSIX: it begins with "/"; Windows:
// with "\\.\"), and the device of port n (POSIX: "/dev/ttyS<n-1>"; Windows: "\\.\COMn").
bool IsDevicePath(const std::string& name);
std::string DefaultPortDevice(int n);
