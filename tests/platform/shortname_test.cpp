// The short forms that long names get on the machines, whole. They must never change between
// versions: a machine keeps a file under its short form, and the next send of the same file must
// find and replace it, not add a second copy.
#include "platform/ShortName.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string field(const std::string& path) {
    uint8_t f[12];
    NodeNameField(path, f);
    return std::string(reinterpret_cast<const char*>(f), 12);
}

TEST(ShortName, LongNamesKeepTheirShortFormsWhole) {
    struct Case {
        const char* name;
        const char* shortName; // probe 0
        const char* nameField; // the 12 bytes a machine keeps
        const char* nextProbe; // probe 1
    };
    const Case cases[] = {
        {"batch-east-0001.dst", "BAT~GTJP.DST", "BAT~GTJPDST ", "BAT~8H2T.DST"},
        {"night-shift-batch-07.dst", "NIG~WZ7X.DST", "NIG~WZ7XDST ", "NIG~MK8W.DST"},
        {"samplefile06758.dst", "SAM~075E.DST", "SAM~075EDST ", "SAM~R694.DST"},
        {"my design.upt", "MYD~2Q9A.UPT", "MYD~2Q9AUPT ", "MYD~6PXD.UPT"},
        {"verylongname", "VER~CDH4", "VER~CDH4    ", "VER~4AH5"},
        {"Line.A-01.long.dsb", "LIN~XDNZ.DSB", "LIN~XDNZDSB ", "LIN~HY7F.DSB"},
        {"designab1.dst", "DES~60WX.DST", "DES~60WXDST ", "DES~A0NQ.DST"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortFileName(c.name), c.shortName) << c.name;
        EXPECT_EQ(ShortFileName(std::string("/any/folder/") + c.name), c.shortName) << c.name;
        EXPECT_EQ(field(std::string("/any/folder/") + c.name), c.nameField) << c.name;
        EXPECT_EQ(ShortFileName(c.name, 1), c.nextProbe) << c.name;
    }
    // Case does not matter.
    EXPECT_EQ(field("/f/BATCH-EAST-0001.DST"), "BAT~GTJPDST ");
}

} // namespace
