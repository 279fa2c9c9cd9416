// The command line of talvorn-cli: node lists and the arguments of each command.
#include "CliArgs.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

std::vector<int> Nodes(const std::string& text, int count = 32) {
    NodeSet set{};
    std::string error;
    EXPECT_TRUE(ParseNodeList(text, count, &set, &error)) << text << ": " << error;
    return NodeIndexes(set);
}

std::string NodeError(const std::string& text, int count) {
    NodeSet set{};
    set[7] = true; // must stay untouched on failure
    NodeSet before = set;
    std::string error;
    EXPECT_FALSE(ParseNodeList(text, count, &set, &error)) << text;
    EXPECT_EQ(set, before) << text;
    EXPECT_FALSE(error.empty()) << text;
    return error;
}

TEST(NodeListTest, SinglesRangesAndLists) {
    EXPECT_EQ(Nodes("3"), (std::vector<int>{3}));
    EXPECT_EQ(Nodes("0-7"), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Nodes("0,2,5-9"), (std::vector<int>{0, 2, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Nodes("4-4"), (std::vector<int>{4}));
    // Overlaps and repeats name each node once, in ascending order.
    EXPECT_EQ(Nodes("5,1-3,2,1"), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(Nodes("0-31").size(), 32u);
}

TEST(NodeListTest, IndexesAtOrAboveTheNodeCountAreRefused) {
    EXPECT_EQ(Nodes("0-3", 4).size(), 4u);
    EXPECT_NE(NodeError("4", 4).find("out of range"), std::string::npos);
    EXPECT_NE(NodeError("2-4", 4).find("0 to 3"), std::string::npos);
    NodeError("1,9", 8);
    NodeError("32", 32);
    NodeError("0", 0);
}

TEST(NodeListTest, GarbageIsRefused) {
    for (const char* bad : {"", ",", "1,", ",1", "1,,2", "a", "1a", " 1", "1 ", "+1", "-1", "1-",
                            "-", "1--2", "1-2-3", "0x3", "3.0", "99999999999999999999"})
        NodeError(bad, 32);
    EXPECT_NE(NodeError("5-2", 32).find("reversed"), std::string::npos);
}

Options Parse(std::vector<std::string> args) {
    Options o;
    std::string error;
    EXPECT_TRUE(ParseArguments(args, &o, &error)) << error;
    return o;
}

std::string ParseError(std::vector<std::string> args) {
    Options o;
    std::string error;
    EXPECT_FALSE(ParseArguments(args, &o, &error));
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(ArgumentsTest, DefaultsAndOptions) {
    Options o = Parse({"query", "0-3"});
    EXPECT_EQ(o.command, Command::Query);
    EXPECT_EQ(o.nodes, "0-3");
    EXPECT_EQ(o.channel, 1);
    EXPECT_TRUE(o.workDir.empty());
    EXPECT_FALSE(o.port.has_value());
    EXPECT_EQ(o.timeoutSeconds, 600);

    o = Parse({"--workdir", "/w", "--channel=2", "--port", "/dev/ttyUSB0", "--timeout", "2.5",
               "clear", "1"});
    EXPECT_EQ(o.command, Command::Clear);
    EXPECT_EQ(o.workDir, "/w");
    EXPECT_EQ(o.channel, 2);
    EXPECT_EQ(o.port.value_or(""), "/dev/ttyUSB0");
    EXPECT_DOUBLE_EQ(o.timeoutSeconds, 2.5);

    // Options may follow the command; "--" ends them, so a file may begin with a dash.
    o = Parse({"send", "0,1", "a.dst", "--timeout=30", "--", "-b.dst"});
    EXPECT_EQ(o.command, Command::Send);
    EXPECT_EQ(o.operands, (std::vector<std::string>{"a.dst", "-b.dst"}));
    EXPECT_EQ(o.timeoutSeconds, 30);

    o = Parse({"delete", "3", "A.DST", "B.DSB"});
    EXPECT_EQ(o.command, Command::Delete);
    EXPECT_EQ(o.operands, (std::vector<std::string>{"A.DST", "B.DSB"}));

    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"query", "--help"}).help);
}

TEST(ArgumentsTest, Errors) {
    EXPECT_NE(ParseError({}).find("no command"), std::string::npos);
    EXPECT_NE(ParseError({"status", "1"}).find("unknown command 'status'"), std::string::npos);
    EXPECT_NE(ParseError({"--verbose", "query", "1"}).find("unknown option"), std::string::npos);
    EXPECT_NE(ParseError({"query"}).find("needs"), std::string::npos);
    EXPECT_NE(ParseError({"send", "0"}).find("at least one file"), std::string::npos);
    EXPECT_NE(ParseError({"delete", "0"}).find("file name"), std::string::npos);
    EXPECT_NE(ParseError({"query", "0", "extra"}).find("no further"), std::string::npos);
    EXPECT_NE(ParseError({"list", "0", "1"}).find("no further"), std::string::npos);
    EXPECT_NE(ParseError({"--channel", "3", "query", "0"}).find("1 or 2"), std::string::npos);
    EXPECT_NE(ParseError({"query", "0", "--port"}).find("needs a value"), std::string::npos);
    ParseError({"--port=", "query", "0"});
    ParseError({"--workdir=", "query", "0"});
    for (const char* t : {"0", "-1", "abc", "1e3", "inf", "nan", "", "5s"})
        EXPECT_NE(ParseError({"--timeout", t, "query", "0"}).find("--timeout"), std::string::npos)
            << t;
}

} // namespace
} // namespace cli
