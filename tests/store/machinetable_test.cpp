#include "store/IniFile.h"
#include "store/MachineTable.h"

#include "TempWorkDir.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class MachineTable : public TempWorkDir {
protected:
    void setCounts(int one, int two) {
        Params().comSum[0] = one;
        Params().comSum[1] = two;
        Params().comId[0] = "COM1";
        Params().comId[1] = "COM2";
        Params().comOne[0] = 0;
        Params().comOne[1] = 32;
    }
};

TEST_F(MachineTable, MissingFileIsCreatedWith192Keys) {
    Params().machineName[0][3] = "kept";
    ASSERT_TRUE(LoadMachineTable());
    std::string expected;
    for (int c = 1; c <= 2; ++c) {
        expected += "[RTU_PARA" + std::to_string(c) + "]\r\n";
        for (int i = 0; i < 32; ++i) {
            std::string n = std::to_string(i);
            expected += "RTU_Name" + n + "=\r\nRTU_Type" + n + "=\r\nRTU_Visible" + n + "=0\r\n";
        }
    }
    EXPECT_EQ(readAll(file("RTU.ini")), expected);
    EXPECT_EQ(ProfileGetSection(file("RTU.ini"), "RTU_PARA1").size() +
                  ProfileGetSection(file("RTU.ini"), "RTU_PARA2").size(),
              192u);
    EXPECT_EQ(Params().machineName[0][3], ""); // loaded from the new file
    EXPECT_EQ(Params().machineVisible[1][31], 0);

    // Below a regular file nothing can be created: false, and the table stays as it was.
    writeRaw(file("plain"), "x");
    Params().workDir = file("plain");
    Params().machineName[1][0] = "still";
    EXPECT_FALSE(LoadMachineTable());
    EXPECT_EQ(Params().machineName[1][0], "still");
}

TEST_F(MachineTable, RowsFollowTheChannelsAndTheirCounts) {
    setCounts(32, 5);
    Params().comOne[0] = 100;
    Params().comId[1] = "Com2";
    Params().machineVisible[1][0] = 1;
    Params().machineName[1][0] = "Line B-01";
    Params().machineType[1][0] = "S2";
    auto rows = BuildMachineRows();
    ASSERT_EQ(rows.size(), 37u);
    EXPECT_EQ(rows[0].nodeText, "100");
    EXPECT_EQ(rows[5].nodeText, "105");
    EXPECT_EQ(rows[0].channelText, "COM1");
    EXPECT_FALSE(rows[0].hidden);
    // Row 32 is node index 0 of channel 2.
    EXPECT_EQ(rows[32].channel, 1);
    EXPECT_EQ(rows[32].node, 0);
    EXPECT_EQ(rows[32].nodeText, "032");
    EXPECT_EQ(rows[32].channelText, "Com2");
    EXPECT_TRUE(rows[32].hidden);
    EXPECT_EQ(rows[32].machine, "Line B-01");
    EXPECT_EQ(rows[32].model, "S2");

    Params().comOne[1] = 0;
    EXPECT_EQ(BuildMachineRows()[34].nodeText, "002");

    // Counts outside 0..32 give at most 32 rows, and channel 2 still starts after channel 1's.
    setCounts(40, -3);
    rows = BuildMachineRows();
    EXPECT_EQ(rows.size(), 32u);
    setCounts(0, 40);
    rows = BuildMachineRows();
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows[0].channel, 1);
    EXPECT_EQ(rows[0].node, 0);
}

TEST_F(MachineTable, TextsOfTwentyBytesAreSavedTwentyOneAreRefused) {
    setCounts(2, 1);
    ASSERT_TRUE(LoadMachineTable());
    auto rows = BuildMachineRows();
    rows[0].machine = std::string(20, 'M');
    rows[1].model = std::string(20, 'm');
    ASSERT_TRUE(SaveMachineRows(rows));
    EXPECT_EQ(ReadIniString("RTU_PARA1", "RTU_Name0", MachineTablePath()), std::string(20, 'M'));
    EXPECT_EQ(ReadIniString("RTU_PARA1", "RTU_Type1", MachineTablePath()), std::string(20, 'm'));
    EXPECT_EQ(Params().machineName[0][0], std::string(20, 'M'));

    const std::string before = readAll(MachineTablePath());
    rows = BuildMachineRows();
    rows[0].machine = "fine";
    rows[1].model = "Model of twenty-one!!";   // 21 bytes
    rows[2].machine = "Machine of twenty-one"; // later row: not the one reported
    MachineRowsCheck check;
    EXPECT_FALSE(SaveMachineRows(rows, &check));
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.row, 1);
    EXPECT_EQ(check.message, "Model of twenty-one!!Length Cannot Exceeds 20 ASCII Bytes.");
    EXPECT_EQ(check.caption, "Please Modify");
    EXPECT_EQ(readAll(MachineTablePath()), before); // nothing saved
    EXPECT_EQ(Params().machineName[0][0], std::string(20, 'M'));

    // Within a row the machine name is checked before the model.
    rows = BuildMachineRows();
    rows[0].machine = std::string(21, 'a');
    rows[0].model = std::string(21, 'b');
    check = ValidateMachineRows(rows);
    EXPECT_EQ(check.row, 0);
    EXPECT_EQ(check.message, std::string(21, 'a') + "Length Cannot Exceeds 20 ASCII Bytes.");
}

TEST_F(MachineTable, HideTicksAreSavedAndReloaded) {
    setCounts(3, 2);
    ASSERT_TRUE(LoadMachineTable());
    auto rows = BuildMachineRows();
    rows[1].hidden = true; // channel 1, node 1
    rows[4].hidden = true; // channel 2, node 1
    rows[4].machine = "Line B-02";
    ASSERT_TRUE(SaveMachineRows(rows));
    EXPECT_EQ(Params().machineVisible[0][1], 1);
    EXPECT_EQ(Params().machineVisible[1][1], 1);
    EXPECT_EQ(ReadIniInt("RTU_PARA1", "RTU_Visible1", MachineTablePath()), 1);
    EXPECT_EQ(ReadIniInt("RTU_PARA2", "RTU_Visible1", MachineTablePath()), 1);
    EXPECT_EQ(ReadIniInt("RTU_PARA1", "RTU_Visible0", MachineTablePath()), 0);

    rows = BuildMachineRows();
    EXPECT_TRUE(rows[1].hidden);
    rows[1].hidden = false;
    ASSERT_TRUE(SaveMachineRows(rows));

    for (auto& n : Params().machineVisible[0])
        n = 7;
    ASSERT_TRUE(LoadMachineTable());
    EXPECT_EQ(Params().machineVisible[0][1], 0);
    EXPECT_EQ(Params().machineVisible[1][1], 1);
    EXPECT_EQ(Params().machineName[1][1], "Line B-02");
}

TEST_F(MachineTable, AWriteThatFailsChangesNothingInMemory) {
    setCounts(2, 1);
    Params().machineName[0][1] = "Line A-02";
    Params().machineType[1][0] = "M1";
    ASSERT_TRUE(SaveMachineRows(BuildMachineRows()));
    const std::string before = readAll(MachineTablePath());
    // The file cannot be rewritten: its writers' lock cannot be taken.
    fs::remove(MachineTablePath() + ".lock");
    fs::create_directory(MachineTablePath() + ".lock");
    auto rows = BuildMachineRows();
    rows[1].machine = "Line A-99";
    rows[1].hidden = true;
    rows[2].model = "M2";
    EXPECT_FALSE(SaveMachineRows(rows));
    EXPECT_EQ(readAll(MachineTablePath()), before);
    EXPECT_EQ(Params().machineName[0][1], "Line A-02");
    EXPECT_EQ(Params().machineVisible[0][1], 0);
    EXPECT_EQ(Params().machineType[1][0], "M1");

    // So does the File Path command's write.
    Params().filePath = "/old/lib";
    fs::create_directory(ParametersPath() + ".lock");
    EXPECT_FALSE(SaveFilePath("/new/lib"));
    EXPECT_EQ(Params().filePath, "/old/lib");
}

TEST_F(MachineTable, NoRowsMeansNothingWritten) {
    setCounts(0, 0);
    auto rows = BuildMachineRows();
    EXPECT_TRUE(rows.empty());
    EXPECT_TRUE(SaveMachineRows(rows));
    EXPECT_FALSE(fs::exists(MachineTablePath()));
}

} // namespace
