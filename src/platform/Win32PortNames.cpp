#include "platform/PortNames.h"

bool IsDevicePath(const std::string& name) {
    return name.size() > 4 &&
           (name.compare(0, 4, "\\\\.\\") == 0 || name.compare(0, 4, "//./") == 0);
}

// The device namespace name works for every port number, also above 9.
std::string DefaultPortDevice(int n) {
    return "\\\\.\\COM" + std::to_string(n);
}
