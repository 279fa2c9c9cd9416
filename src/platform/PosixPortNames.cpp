#include "platform/PortNames.h"

bool IsDevicePath(const std::string& name) {
    return !name.empty() && name.front() == '/';
}

std::string DefaultPortDevice(int n) {
    return "/dev/ttyS" + std::to_string(n - 1);
}
