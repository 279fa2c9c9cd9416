// The Parameter Setting dialog's rules: port entries and their selection, the integer checks, and
// what OK writes (nothing at all after a failed check or a failed write).
#include "store/FieldBytes.h"
#include "store/IniFile.h"
#include "store/ParameterForm.h"

#include "TempWorkDir.h"

#include <climits>

using ParameterFormTest = TempWorkDir;

TEST(ParameterFormRules, PortEntriesAndTheirSelection) {
    const std::vector<std::string> com = PortEntries("Com1");
    ASSERT_EQ(com.size(), 9u);
    EXPECT_EQ(com.front(), "COM1");
    EXPECT_EQ(com.back(), "COM9");
    EXPECT_EQ(PortEntryIndex(com, "Com1"), 0);
    EXPECT_EQ(PortEntryIndex(com, "com3"), 2);
    // No entry begins with "COM12"; an empty name (channel not used) selects nothing either.
    EXPECT_EQ(PortEntryIndex(com, "COM12"), -1);
    EXPECT_EQ(PortEntryIndex(com, ""), -1);

    // A device path is an entry of its own, selected exactly.
    const std::vector<std::string> dev = PortEntries("/dev/ttyUSB0");
    ASSERT_EQ(dev.size(), 10u);
    EXPECT_EQ(dev.back(), "/dev/ttyUSB0");
    EXPECT_EQ(PortEntryIndex(dev, "/dev/ttyUSB0"), 9);
    EXPECT_EQ(PortEntryIndex(dev, "/dev/ttyusb0"), -1);
}

TEST(ParameterFormRules, IntegersAsTheEditsTakeThem) {
    int32_t v = 7;
    EXPECT_TRUE(ParseDialogInteger(" 32 ", &v));
    EXPECT_EQ(v, 32);
    EXPECT_TRUE(ParseDialogInteger("-5", &v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(ParseDialogInteger("+0", &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ParseDialogInteger("-2147483648", &v));
    EXPECT_EQ(v, INT32_MIN);
    v = 7;
    for (const char* badText : {"", " ", "-", "12a", "a12", "1 2", "3.5", "2147483648",
                                "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(ParseDialogInteger(badText, &v)) << badText;
    EXPECT_EQ(v, 7);
}

TEST(ParameterFormRules, ByteLimitsCountUtf8Bytes) {
    const std::string han = "\xe6\x9c\xba"; // one character, three bytes
    std::string six, seven;
    for (int i = 0; i < 6; ++i)
        six += han;
    seven = six + han;
    EXPECT_TRUE(FitsFieldBytes(six, 19));    // 18 bytes
    EXPECT_FALSE(FitsFieldBytes(seven, 19)); // 21 bytes, 7 characters
    EXPECT_TRUE(FitsFieldBytes(std::string(20, 'a'), 20));
    EXPECT_FALSE(FitsFieldBytes(std::string(21, 'a'), 20));
    // Cutting never splits a character.
    EXPECT_EQ(CutToFieldBytes(seven, 19), six);
    EXPECT_EQ(CutToFieldBytes("ab" + han, 4), "ab");
    EXPECT_EQ(CutToFieldBytes("abc", 19), "abc");
}

TEST_F(ParameterFormTest, OpeningTakesTheHeldValues) {
    Params().comId[0] = "Com3";
    Params().comId[1] = "/dev/ttyUSB1";
    Params().comSum[0] = 8;
    Params().comOne[1] = 100;
    Params().comSpeed[0] = 2;
    Params().comSpeed[1] = 9; // no such entry
    Params().comMode[1] = 7;
    ParameterForm f = ParameterFormFromParams();
    EXPECT_EQ(f.port[0], 2);
    EXPECT_EQ(f.portEntries[1][static_cast<size_t>(f.port[1])], "/dev/ttyUSB1");
    EXPECT_EQ(f.nodeNumber[0], "8");
    EXPECT_EQ(f.firstNumber[1], "100");
    EXPECT_EQ(f.speed[0], 2);
    EXPECT_EQ(f.speed[1], -1);
    EXPECT_EQ(f.mode[1], 7);
}

TEST_F(ParameterFormTest, ChecksStopAtTheFirstBadFieldInOrder) {
    ParameterForm f = ParameterFormFromParams();
    f.nodeNumber[0] = "8";
    f.nodeNumber[1] = "x";
    f.firstNumber[0] = "y";
    f.firstNumber[1] = "0";
    ParameterCheck c = CheckParameterForm(f);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.field, kNodeNumberField[1]);
    EXPECT_EQ(c.message, "Please enter an integer.");
    EXPECT_EQ(c.caption, "Prompting");

    f.nodeNumber[1] = "0"; // not range-checked: the channel is saved and stays closed
    c = CheckParameterForm(f);
    EXPECT_EQ(c.field, kFirstNumberField[0]);

    // A first number whose last label would overflow is refused with the range.
    f.firstNumber[0] = "2147483647";
    c = CheckParameterForm(f);
    EXPECT_EQ(c.field, kFirstNumberField[0]);
    EXPECT_EQ(c.message, "Please enter an integer between -2147483648 and 2147483616.");
    f.firstNumber[0] = "2147483616";
    EXPECT_TRUE(CheckParameterForm(f).ok);
}

TEST_F(ParameterFormTest, OkStoresTheFieldsAndKeepsWhatWasNotChosen) {
    ASSERT_TRUE(WriteDefaultParameters());
    Params().comId[0] = "/dev/ttyUSB0";
    Params().comId[1] = "COM12";
    Params().comSpeed[1] = 9;
    Params().comMode[0] = 4;
    ParameterForm f = ParameterFormFromParams();
    f.nodeNumber[1] = " 0";
    f.firstNumber[0] = "-3";
    f.mode[1] = 5;
    ParameterCheck c = CheckParameterForm(f);
    ASSERT_TRUE(c.ok);
    ASSERT_TRUE(SaveParameterValues(c.values));

    const std::string para = ParametersPath();
    EXPECT_EQ(ReadIniString("SYS_PARA", "Channel1ComID", para), "/dev/ttyUSB0");
    EXPECT_EQ(ReadIniString("SYS_PARA", "Channel2ComID", para), ""); // COM12: as the dialog shows
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel2ComSum", para), 0);
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel1ComOne", para), -3);
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel2ComSpeed", para), 9); // no entry chosen: kept
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel1ComMode", para), 4);
    EXPECT_EQ(ReadIniInt("SYS_PARA", "Channel2ComMode", para), 5);
    EXPECT_EQ(Params().comId[1], "");
    EXPECT_EQ(Params().comOne[0], -3);
    // The colours and the library folder are left alone.
    EXPECT_EQ(ReadIniInt("SYS_PARA", "ListColor", para), kDefaultListColor);
}

TEST_F(ParameterFormTest, AFailedWriteChangesNothing) {
    Params().comId[0] = "Com1";
    Params().comSum[0] = 32;
    // A parent path that is a regular file: no write can succeed, not even as root.
    writeRaw(file("plain"), "x");
    Params().workDir = file("plain");
    ParameterForm f = ParameterFormFromParams();
    f.nodeNumber[0] = "4";
    ParameterCheck c = CheckParameterForm(f);
    ASSERT_TRUE(c.ok);
    EXPECT_FALSE(SaveParameterValues(c.values));
    EXPECT_EQ(Params().comSum[0], 32);
    EXPECT_EQ(Params().comId[0], "Com1");
}
