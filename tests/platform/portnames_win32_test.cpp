#include "platform/PortNames.h"

#include "platform/PrivateProfile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(PortNamesOnWindows, ComNamesAreTheSystemsPortsUnlessMapped) {
    testsupport::TempDir dir;
    const std::string para = dir / "Para.ini";
    ProfileClearCache();
    // No Para.ini: COMn is the system's own port n, in any case.
    EXPECT_EQ(ResolvePortName("COM1", para), "\\\\.\\COM1");
    EXPECT_EQ(ResolvePortName("cOm9", para), "\\\\.\\COM9");
    // A device path stands as it is; a POSIX path is no device here.
    EXPECT_EQ(ResolvePortName("\\\\.\\COM12", para), "\\\\.\\COM12");
    EXPECT_EQ(ResolvePortName("/dev/ttyS0", para), "");
    for (const char* name : {"", "COM0", "COM10", "LPT1", "COM"})
        EXPECT_EQ(ResolvePortName(name, para), "") << '"' << name << '"';

    // [PORTS] maps a name to another device path; anything else there makes the port unusable.
    std::ofstream(para, std::ios::binary)
        << "[PORTS]\r\nCOM1=\\\\.\\COM14\r\ncom2=/dev/ttyUSB0\r\nCOM3=COM4\r\nCOM5=\r\n";
    ProfileClearCache();
    EXPECT_EQ(ResolvePortName("COM1", para), "\\\\.\\COM14");
    EXPECT_EQ(ResolvePortName("COM2", para), "");
    EXPECT_EQ(ResolvePortName("COM3", para), "");
    EXPECT_EQ(ResolvePortName("COM5", para), "\\\\.\\COM5"); // empty entry
}

} // namespace
