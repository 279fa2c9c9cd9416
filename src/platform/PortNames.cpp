#include "platform/PortNames.h"

#include "platform/PrivateProfile.h"

std::string ResolvePortName(const std::string& name, const std::string& paraIniPath) {
    if (IsDevicePath(name))
        return name;
    if (name.size() != 4)
        return "";
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M' || name[3] < '1' ||
        name[3] > '9')
        return "";
    std::string key = std::string("COM") + name[3];
    std::string mapped = ProfileGetString(paraIniPath, "PORTS", key, "");
    if (!mapped.empty())
        return IsDevicePath(mapped) ? mapped : "";
    return DefaultPortDevice(name[3] - '0');
}
