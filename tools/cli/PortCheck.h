// Why a port could not be opened. The communication centre only says that a channel did not
// start; the user needs to know whether the device is missing, taken or not a serial line.
#pragma once

#include <string>

namespace cli {

// The reason `device` cannot serve as a channel's port, e.g. "the device does not exist", "the
// device is busy (another program has it open)", "not a terminal". Opens and closes the device
// without touching its settings; call it only after the centre has given up on it.
std::string DescribePortFailure(const std::string& device);

// What DescribePortFailure says of a device that another program has open.
constexpr const char* kPortBusyText = "the device is busy (another program has it open)";

} // namespace cli
