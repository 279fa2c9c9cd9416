#include "Options.h"

#include <gtest/gtest.h>

#include <vector>

namespace nodesim {
namespace {

bool Parse(std::vector<const char*> args, Options* out, std::string* error) {
    args.insert(args.begin(), "talvorn-nodesim");
    return ParseOptions(static_cast<int>(args.size()), args.data(), out, error);
}

TEST(Options, ReadsEveryOption) {
    Options o;
    std::string error;
    ASSERT_TRUE(Parse({"--link",
                       "/tmp/l",
                       "--nodes",
                       "8",
                       "--capacity=100000",
                       "--cluster",
                       "1024",
                       "--max-files",
                       "10",
                       "--preload",
                       "/p",
                       "--store",
                       "/s",
                       "--clear-store",
                       "--drop",
                       "0.25",
                       "--drop-node",
                       "3:1",
                       "--drop-node=7:0",
                       "--corrupt",
                       "0.5",
                       "--silent",
                       "1,4-6",
                       "--late",
                       "300",
                       "--late-node",
                       "2:900",
                       "--baud",
                       "19200",
                       "--seed",
                       "18446744073709551615",
                       "--verbose"},
                      &o, &error))
        << error;
    EXPECT_EQ(o.linkPath, "/tmp/l");
    EXPECT_EQ(o.config.nodeCount, 8);
    EXPECT_EQ(o.config.capacityBytes, 100000u);
    EXPECT_EQ(o.config.clusterBytes, 1024u);
    EXPECT_EQ(o.config.maxFiles, 10);
    EXPECT_EQ(o.config.preloadDir, "/p");
    EXPECT_EQ(o.config.storeDir, "/s");
    EXPECT_TRUE(o.config.clearStore);
    EXPECT_DOUBLE_EQ(o.config.dropRate, 0.25);
    EXPECT_DOUBLE_EQ(o.config.nodeDropRate[3], 1.0);
    EXPECT_DOUBLE_EQ(o.config.nodeDropRate[7], 0.0);
    EXPECT_LT(o.config.nodeDropRate[0], 0); // follows --drop
    EXPECT_DOUBLE_EQ(o.config.corruptRate, 0.5);
    EXPECT_EQ(o.config.silentNodes, 0b1110010u);
    EXPECT_EQ(o.config.lateMs, 300);
    EXPECT_EQ(o.config.lateFor(2), 900);
    EXPECT_EQ(o.config.lateFor(3), 300);
    EXPECT_EQ(o.config.baud, 19200u);
    EXPECT_EQ(o.config.seed, 18446744073709551615ull);
    EXPECT_TRUE(o.verbose);
    EXPECT_FALSE(o.help);
}

TEST(Options, DefaultsAndHelp) {
    Options o;
    std::string error;
    ASSERT_TRUE(Parse({"--link", "x"}, &o, &error));
    EXPECT_EQ(o.config.nodeCount, 32);
    EXPECT_EQ(o.config.capacityBytes, 1457664u);
    EXPECT_EQ(o.config.clusterBytes, 512u);
    EXPECT_EQ(o.config.maxFiles, 224);
    EXPECT_EQ(o.config.baud, 0u);
    ASSERT_TRUE(Parse({"--help"}, &o, &error)); // no --link needed
    EXPECT_TRUE(o.help);
}

TEST(Options, RefusesBadValuesWithAMessage) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"--link"},
        {"--link", "x", "--nodes", "33"},
        {"--link", "x", "--nodes", "4x"},
        {"--link", "x", "--cluster", "65536"},
        {"--link", "x", "--max-files", "225"},
        {"--link", "x", "--capacity", "33554432"}, // 65536 clusters of 512
        {"--link", "x", "--drop", "1.5"},
        {"--link", "x", "--corrupt", "nan"},
        {"--link", "x", "--nodes", "4", "--drop-node", "4:0.5"},
        {"--link", "x", "--nodes", "4", "--silent", "2-5"},
        {"--link", "x", "--silent", "5-3"},
        {"--link", "x", "--late", "-1"},
        {"--link", "x", "--nodes", "4", "--late-node", "4:10"},
        {"--link", "x", "--seed", "-1"},
        {"--link", "x", "--verbose=1"},
        {"--link", "x", "stray"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error)) << testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
} // namespace nodesim
