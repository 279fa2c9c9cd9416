// Port names as the station's configuration holds them ("COM1" … "COM9") mapped to device paths.
#pragma once

#include <string>

// "COM1" … "COM9" (any case) resolve through section "PORTS" of the parameter file
// (COM1=/dev/ttyUSB0, key in any case); without an entry COMn is "/dev/ttyS<n-1>". An entry that
// is not an absolute path makes the port unusable rather than opening something relative to the
// working folder. A name that begins with "/" is a device path as it stands. Anything else
// (empty, "COM10", "LPT1") is not a port and resolves to "".
std::string ResolvePortName(const std::string& name, const std::string& paraIniPath);
