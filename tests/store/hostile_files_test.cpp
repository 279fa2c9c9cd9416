// Data files damaged on disk (cut short, binary, oversized) are read without a crash, and what
// can be read is used.
#include "TempWorkDir.h"
#include "store/MachineTable.h"

#include <random>

namespace {

class HostileFiles : public TempWorkDir {
protected:
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string Binary(size_t n, uint32_t seed) {
        std::mt19937 gen(seed);
        std::string s(n, '\0');
        for (auto& ch : s)
            ch = static_cast<char>(gen());
        return s;
    }
};

TEST_F(HostileFiles, TruncatedParameterFileKeepsWhatArrived) {
    Write("Para.ini", "[SYS_PARA]\r\nChannel1ComID=COM3\r\nChannel1ComSum=1");
    ASSERT_TRUE(LoadParameters());
    EXPECT_EQ(Params().comId[0], "COM3");
    EXPECT_EQ(Params().comSum[0], 1);
    EXPECT_EQ(Params().comSum[1], 0);
}

TEST_F(HostileFiles, BinaryFilesReadAsMissingKeys) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        ProfileClearCache();
        std::string junk = Binary(4096, seed);
        Write("Para.ini", junk);
        Write("RTU.ini", junk);
        Write("item1.ini", junk);
        Write("subitem1.ini", junk);
        EXPECT_TRUE(LoadParameters());
        LoadMachineTable();
        const auto records = QueryEvents(0, "", EV_ALL_EVENTS, -1);
        QueryEventFiles(0, records);
    }
}

TEST_F(HostileFiles, OversizedFilesAreNotSwallowed) {
    // A line without an end, longer than any key could need.
    Write("Para.ini", "[SYS_PARA]\nChannel1ComID=" + std::string(1u << 20, 'A') + "\n");
    EXPECT_TRUE(LoadParameters());
    EXPECT_EQ(Params().comId[0].size(), 298u); // the string buffer's limit
    // Past the reader's size limit only the head of the file is read, and it is never rewritten.
    ProfileClearCache();
    Write("Para.ini", "[SYS_PARA]\nChannel1ComSum=7\n" + std::string(40u << 20, 'A') + "\n");
    const auto size = std::filesystem::file_size(file("Para.ini"));
    EXPECT_TRUE(LoadParameters());
    EXPECT_EQ(Params().comSum[0], 7);
    EXPECT_EQ(std::filesystem::file_size(file("Para.ini")), size);
    Write("item1.ini", "[SUM]\ncount=99999999\n");
    EXPECT_TRUE(QueryEvents(0, "", EV_ALL_EVENTS, -1).empty());
}

} // namespace
