// Node labels and the node-file list's rows.
#include "station/NodeLabels.h"
#include "store/SystemParameters.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(NodeLabels, ThreeDigitsFromTheChannelsFirstNumber) {
    EXPECT_EQ(NodeLabelText(0, 0), "000");
    EXPECT_EQ(NodeLabelText(32, 0), "032");
    EXPECT_EQ(NodeLabelText(100, 5), "105");
    EXPECT_EQ(NodeLabelText(990, 31), "1021");

    ResetParameters();
    Params().comOne[0] = 1;
    Params().comOne[1] = 32;
    EXPECT_EQ(NodeLabel(0, 7), "008");
    EXPECT_EQ(NodeLabel(1, 0), "032");
    EXPECT_EQ(NodeLabel(2, 0), "");
    EXPECT_EQ(NodeLabel(-1, 0), "");
    ResetParameters();
}

void PutEntry(NodeRecord& node, int k, const char name[12], uint32_t length) {
    std::memcpy(node.entries[k], name, 12);
    node.entries[k][12] = 0;
    PutLe32(node.entries[k] + 13, length);
}

TEST(NodeLabels, NodeFileRowsShowWhatTheTableHolds) {
    NodeRecord node;
    PutEntry(node, 0, "A       DST ", 1000);
    PutEntry(node, 1, "NOEXT       ", 7);
    PutEntry(node, 2, "LONG    ABCD", 12345678);
    PutEntry(node, 3, "B       DS\0\0", 3); // padded with zero bytes, as delete frames are
    PutEntry(node, 4, "        DST ", 9);   // no base name: the list ends here
    PutEntry(node, 5, "AFTER   DST ", 9);
    node.fileCount.store(6);

    const auto rows = NodeFileRows(node);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].noText, " 0");
    EXPECT_EQ(rows[0].name, "A.DST");
    EXPECT_EQ(rows[0].sizeText, "1000");
    EXPECT_EQ(rows[0].field, "A       DST ");
    EXPECT_EQ(rows[1].name, "NOEXT");
    // The whole four-byte extension: "LONG.ABC" would name another file.
    EXPECT_EQ(rows[2].name, "LONG.ABCD");
    EXPECT_EQ(rows[2].sizeText, "12345678");
    EXPECT_EQ(rows[3].name, "B.DS");
    EXPECT_EQ(rows[3].field, std::string("B       DS\0\0", 12));

    // Only the first fileCount entries count.
    node.fileCount.store(1);
    EXPECT_EQ(NodeFileRows(node).size(), 1u);
    node.fileCount.store(0);
    EXPECT_TRUE(NodeFileRows(node).empty());

    auto same = [](const char* a, const char* b) {
        return SameNodeName(reinterpret_cast<const uint8_t*>(a),
                            reinterpret_cast<const uint8_t*>(b));
    };
    EXPECT_TRUE(same("A       DST ", "A       DST\0"));
    EXPECT_FALSE(same("A       DST ", "A       DSB "));
    EXPECT_FALSE(same("AB      DST ", "A       DST "));
}

} // namespace
