#include "platform/PortNames.h"

#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class PortNames : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileClearCache();
        std::string tmpl = (fs::temp_directory_path() / "talvorn-ports-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        para_ = dir_ + "/Para.ini";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void writePara(const std::string& text) { std::ofstream(para_, std::ios::binary) << text; }

    std::string dir_;
    std::string para_;
};

TEST_F(PortNames, ComNamesWithoutEntryAreTheSerialDevices) {
    // No Para.ini at all.
    EXPECT_EQ(ResolvePortName("COM1", para_), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("COM9", para_), "/dev/ttyS8");
    // Any case, as the created file spells them.
    EXPECT_EQ(ResolvePortName("Com1", para_), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("cOm2", para_), "/dev/ttyS1");
}

TEST_F(PortNames, PortsSectionMapsNamesToDevices) {
    writePara("[SYS_PARA]\r\nChannel1ComID=Com1\r\n[ports]\r\ncom1=/dev/ttyUSB0\r\n"
              "COM3 = /dev/pts/7 \r\nCOM4=ttyUSB1\r\nCOM5=\r\n");
    EXPECT_EQ(ResolvePortName("Com1", para_), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("COM1", para_), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("com3", para_), "/dev/pts/7");
    EXPECT_EQ(ResolvePortName("COM2", para_), "/dev/ttyS1"); // no entry
    EXPECT_EQ(ResolvePortName("COM5", para_), "/dev/ttyS4"); // empty entry
    // A relative entry would open something in the working folder: not a port.
    EXPECT_EQ(ResolvePortName("COM4", para_), "");
}

TEST_F(PortNames, DevicePathsStandAndOtherNamesAreNoPort) {
    writePara("[PORTS]\r\nCOM1=/dev/ttyUSB0\r\n");
    EXPECT_EQ(ResolvePortName("/dev/ttyACM0", para_), "/dev/ttyACM0");
    EXPECT_EQ(ResolvePortName("/tmp/pty-link", para_), "/tmp/pty-link");
    for (const char* name : {"", "COM", "COM0", "COM10", "COM12", "LPT1", "COMA", "COM1 ", " COM1",
                             "ttyUSB0", "XCOM1"})
        EXPECT_EQ(ResolvePortName(name, para_), "") << '"' << name << '"';
}

} // namespace
