#include "store/IniFile.h"
#include "store/SystemParameters.h"

#include "TempWorkDir.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using IniHelpers = TempWorkDir;
using Parameters = TempWorkDir;

TEST_F(IniHelpers, NumbersKeepEightCharactersAndStrings298) {
    const std::string f = file("x.ini");
    writeRaw(f, "[S]\nwhite=16777215\nlong=167772159\nneg=-1234567\nnine=123456789\n"
                "text=  abc  \nbad=12ab\nempty=\n");
    EXPECT_EQ(ReadIniLong("S", "white", f), 16777215);
    EXPECT_EQ(ReadIniLong("S", "long", f), 16777215); // cut to 8 characters before conversion
    EXPECT_EQ(ReadIniInt("S", "nine", f), 12345678);
    EXPECT_EQ(ReadIniInt("S", "neg", f), -1234567);
    EXPECT_EQ(ReadIniInt("S", "bad", f), 12);
    EXPECT_EQ(ReadIniInt("S", "empty", f), 0);
    EXPECT_EQ(ReadIniInt("S", "missing", f), 0);
    EXPECT_EQ(ReadIniInt("S", "white", file("none.ini")), 0);
    EXPECT_EQ(ReadIniString("S", "text", f), "abc");
    EXPECT_EQ(ReadIniString("S", "missing", f), "");

    ASSERT_TRUE(WriteIniString("S", "big", std::string(400, 'z'), f));
    EXPECT_EQ(ReadIniString("S", "big", f), std::string(298, 'z'));
    ASSERT_TRUE(WriteIniInt("S", "n", -42, f));
    EXPECT_EQ(ReadIniInt("S", "n", f), -42);
    EXPECT_FALSE(WriteIniInt("S", "n", 1, file("no/folder.ini")));
}

TEST_F(Parameters, MissingFileIsCreatedWithTheDefaults) {
    ASSERT_TRUE(LoadParameters());
    EXPECT_EQ(readAll(file("Para.ini")), "[SYS_PARA]\r\n"
                                         "Channel1ComID=Com1\r\n"
                                         "Channel1ComSum=32\r\n"
                                         "Channel1ComOne=0\r\n"
                                         "Channel1ComSpeed=3\r\n"
                                         "Channel2ComID=Com2\r\n"
                                         "Channel2ComSum=32\r\n"
                                         "Channel2ComOne=32\r\n"
                                         "Channel2ComSpeed=3\r\n"
                                         "ListColor=16759482\r\n"
                                         "FontBKColor=16759482\r\n"
                                         "FontColor=2631720\r\n"
                                         "FilePath=" +
                                             dir + "\r\n");
    const SystemParameters& p = Params();
    EXPECT_EQ(p.comId[0], "Com1");
    EXPECT_EQ(p.comId[1], "Com2");
    EXPECT_EQ(p.comSum[0], 32);
    EXPECT_EQ(p.comSum[1], 32);
    EXPECT_EQ(p.comOne[0], 0);
    EXPECT_EQ(p.comOne[1], 32);
    EXPECT_EQ(p.comSpeed[0], 3);
    EXPECT_EQ(p.comSpeed[1], 3);
    EXPECT_EQ(p.comMode[0], 0);
    EXPECT_EQ(p.comMode[1], 0);
    EXPECT_EQ(p.listColor, 0x00FFBABA);
    EXPECT_EQ(p.fontBkColor, 0x00FFBABA);
    EXPECT_EQ(p.fontColor, 0x00282828);
    EXPECT_EQ(p.filePath, dir);
}

TEST_F(Parameters, LoadFailsWhenTheFileCanBeNeitherReadNorCreated) {
    // A working folder below a regular file: nothing can be created there, even by root.
    writeRaw(file("plain"), "x");
    Params().workDir = file("plain") + "/work";
    EXPECT_FALSE(LoadParameters());
    EXPECT_EQ(Params().comSum[0], 0);

    // An existing Para.ini that cannot be read is not replaced by the defaults.
    Params().workDir = dir;
    fs::create_directory(file("Para.ini"));
    EXPECT_FALSE(LoadParameters());
    EXPECT_TRUE(fs::is_directory(file("Para.ini")));
}

TEST_F(Parameters, LoadsAnExistingFileAsItStands) {
    writeRaw(file("Para.ini"), "[SYS_PARA]\n"
                               "Channel1ComID=COM3\n"
                               "Channel1ComSum=40\n"
                               "Channel1ComOne=100\n"
                               "Channel1ComSpeed=1\n"
                               "Channel1ComMode=5\n"
                               "Channel2ComID=\n"
                               "Channel2ComSum=4\n"
                               "Channel2ComSpeed=9\n"
                               "Channel2ComMode=7\n"
                               "ListColor=167772159\n"
                               "FilePath=/data/designs\n");
    const std::string before = readAll(file("Para.ini"));
    ASSERT_TRUE(LoadParameters());
    const SystemParameters& p = Params();
    EXPECT_EQ(p.comId[0], "COM3");
    EXPECT_EQ(p.comSum[0], 40); // not range-checked here
    EXPECT_EQ(p.comOne[0], 100);
    EXPECT_EQ(p.comSpeed[0], 1);
    EXPECT_EQ(p.comMode[0], 5);
    EXPECT_EQ(p.comId[1], "");
    EXPECT_EQ(p.comSum[1], 4);
    EXPECT_EQ(p.comOne[1], 0); // missing
    EXPECT_EQ(p.comSpeed[1], 9);
    EXPECT_EQ(p.comMode[1], 7);
    EXPECT_EQ(p.listColor, 16777215);
    EXPECT_EQ(p.fontColor, 0);
    EXPECT_EQ(p.filePath, "/data/designs");
    EXPECT_EQ(readAll(file("Para.ini")), before); // loading writes nothing
}

TEST_F(Parameters, SavesTheTenChannelKeysAndKeepsTheRest) {
    writeRaw(file("Para.ini"), "[SYS_PARA]\r\n"
                               "ListColor=1\r\n"
                               "Channel1ComID=Com1\r\n"
                               "FilePath=/lib\r\n"
                               "[PORTS]\r\n"
                               "COM3=/dev/ttyUSB0\r\n");
    SystemParameters& p = Params();
    p.comId[0] = "COM3";
    p.comSum[0] = 8;
    p.comOne[0] = 100;
    p.comSpeed[0] = 2;
    p.comMode[0] = 4;
    p.comId[1] = "";
    p.comSum[1] = 0;
    p.comOne[1] = 32;
    p.comSpeed[1] = 3;
    p.comMode[1] = 7;
    ASSERT_TRUE(SaveChannelParameters());
    EXPECT_EQ(readAll(file("Para.ini")), "[SYS_PARA]\r\n"
                                         "ListColor=1\r\n"
                                         "Channel1ComID=COM3\r\n"
                                         "FilePath=/lib\r\n"
                                         "Channel1ComSum=8\r\n"
                                         "Channel1ComOne=100\r\n"
                                         "Channel1ComSpeed=2\r\n"
                                         "Channel1ComMode=4\r\n"
                                         "Channel2ComID=\r\n"
                                         "Channel2ComSum=0\r\n"
                                         "Channel2ComOne=32\r\n"
                                         "Channel2ComSpeed=3\r\n"
                                         "Channel2ComMode=7\r\n"
                                         "[PORTS]\r\n"
                                         "COM3=/dev/ttyUSB0\r\n");

    // The mode survives a restart.
    ResetParameters();
    Params().workDir = dir;
    ASSERT_TRUE(LoadParameters());
    EXPECT_EQ(Params().comMode[0], 4);
    EXPECT_EQ(Params().comMode[1], 7);

    ASSERT_TRUE(SaveFilePath("/new/lib"));
    EXPECT_EQ(Params().filePath, "/new/lib");
    EXPECT_EQ(ReadIniString("SYS_PARA", "FilePath", file("Para.ini")), "/new/lib");
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel1ComSum", file("Para.ini")), 8);
}

} // namespace
