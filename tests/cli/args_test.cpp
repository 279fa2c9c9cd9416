// The command line of talvorn-cli: node numbers as the station shows them, and the arguments of
// each command.
#include "CliArgs.h"

#include <gtest/gtest.h>

#include <map>

namespace cli {
namespace {

std::vector<int> Nodes(const std::string& text, NodeNumbering numbering = {0, 32}) {
    NodeSet set{};
    std::string error;
    EXPECT_TRUE(ParseNodeList(text, numbering, &set, &error)) << text << ": " << error;
    return NodeIndexes(set);
}

std::string NodeError(const std::string& text, NodeNumbering numbering) {
    NodeSet set{};
    set[7] = true; // must stay untouched on failure
    const NodeSet before = set;
    std::string error;
    EXPECT_FALSE(ParseNodeList(text, numbering, &set, &error)) << text;
    EXPECT_EQ(set, before) << text;
    EXPECT_FALSE(error.empty()) << text;
    return error;
}

TEST(NodeListTest, NumbersAreTheLabelsTheStationShows) {
    // First number 1, eight nodes: 001 to 008 are indexes 0 to 7.
    const NodeNumbering one{1, 8};
    EXPECT_EQ(Nodes("1-8", one), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Nodes("4", one), (std::vector<int>{3}));
    EXPECT_EQ(Nodes("004", one), (std::vector<int>{3})); // as printed
    EXPECT_EQ(Nodes("1,3,5-8,3", one), (std::vector<int>{0, 2, 4, 5, 6, 7}));
    // The second channel of the demo numbers its four nodes from 33.
    EXPECT_EQ(Nodes("33,036", {33, 4}), (std::vector<int>{0, 3}));
    EXPECT_EQ(Nodes("0-31").size(), 32u);

    // Outside the channel's numbers: refused, naming the numbers it has.
    EXPECT_EQ(NodeError("0", one), "node 0 is out of range (the channel's nodes are 001 to 008)");
    EXPECT_EQ(NodeError("7-9", one), "node 9 is out of range (the channel's nodes are 001 to 008)");
    EXPECT_NE(NodeError("32", {0, 32}).find("000 to 031"), std::string::npos);
    EXPECT_NE(NodeError("1", {0, 0}).find("none"), std::string::npos);
}

TEST(NodeListTest, GarbageIsRefused) {
    for (const char* bad : {"", ",", "1,", ",1", "1,,2", "a", "1a", " 1", "1 ", "+1", "-1", "1-",
                            "-", "1--2", "1-2-3", "0x3", "3.0", "99999999999999999999"})
        NodeError(bad, {0, 32});
    EXPECT_NE(NodeError("5-2", {0, 32}).find("reversed"), std::string::npos);
}

ParseOutcome ParseOf(std::vector<std::string> args, Options* o) {
    return ParseArguments(args, o);
}

Options Parse(std::vector<std::string> args) {
    Options o;
    const ParseOutcome r = ParseArguments(args, &o);
    EXPECT_EQ(r.kind, ParseOutcome::Run) << r.text;
    return o;
}

std::string ParseError(std::vector<std::string> args) {
    Options o;
    const ParseOutcome r = ParseArguments(args, &o);
    EXPECT_EQ(r.kind, ParseOutcome::Error);
    EXPECT_FALSE(r.text.empty());
    return r.text;
}

TEST(ArgumentsTest, DefaultsAndOptions) {
    Options o = Parse({"query", "1-4"});
    EXPECT_EQ(o.command, Command::Query);
    EXPECT_EQ(o.nodes, "1-4");
    EXPECT_EQ(o.channel, 1);
    EXPECT_TRUE(o.workDir.empty());
    EXPECT_FALSE(o.port.has_value());
    EXPECT_FALSE(o.timeoutSeconds.has_value()); // no cap unless asked for
    EXPECT_EQ(o.silenceSeconds, kDefaultSilenceSeconds);

    o = Parse({"--workdir", "/w", "--channel=2", "--port", "/dev/ttyUSB0", "--timeout", "2.5",
               "--silence", "1e1", "clear", "1"});
    EXPECT_EQ(o.command, Command::Clear);
    EXPECT_EQ(o.workDir, "/w");
    EXPECT_EQ(o.channel, 2);
    EXPECT_EQ(o.port.value_or(""), "/dev/ttyUSB0");
    EXPECT_DOUBLE_EQ(o.timeoutSeconds.value_or(0), 2.5);
    EXPECT_DOUBLE_EQ(o.silenceSeconds, 10);

    // Options may follow the command, the later one wins; "--" ends them, so a file may begin
    // with a dash, also once the command has all it needs.
    o = Parse({"--timeout", "5", "send", "1,2", "a.dst", "--timeout=30", "--", "-b.dst", "--c"});
    EXPECT_EQ(o.command, Command::Send);
    EXPECT_EQ(o.nodes, "1,2");
    EXPECT_EQ(o.operands, (std::vector<std::string>{"a.dst", "-b.dst", "--c"}));
    EXPECT_EQ(o.timeoutSeconds.value_or(0), 30);
    o = Parse({"delete", "--", "3", "-A.DST"});
    EXPECT_EQ(o.nodes, "3");
    EXPECT_EQ(o.operands, (std::vector<std::string>{"-A.DST"}));
    // Any positive number of seconds; a cap beyond what a clock can hold is no cap.
    EXPECT_EQ(Parse({"--timeout", "86400000000", "query", "1"}).timeoutSeconds.value_or(0),
              86400000000.0);

    // --help and --version print and end the run; each command has its own help.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"send", "--help"}, {"query", "1", "--help"}, {"--version"}}) {
        Options unused;
        EXPECT_EQ(ParseOf(args, &unused).kind, ParseOutcome::Print) << args[0];
    }
    Options unused;
    const std::string main = ParseOf({"--help"}, &unused).text;
    EXPECT_NE(main.find("NODES are the node numbers the station shows"), std::string::npos);
    EXPECT_NE(main.find("130 interrupted"), std::string::npos);
    const std::string send = ParseOf({"send", "--help"}, &unused).text;
    EXPECT_NE(send.find("Usage: talvorn-cli [OPTIONS] send NODES FILE..."), std::string::npos)
        << send;
    EXPECT_EQ(ParseOf({"--version"}, &unused).text, VersionText() + "\n");
}

TEST(ArgumentsTest, ARunningStationFromTheOptionOrTheEnvironment) {
    std::map<std::string, std::string> env = {{"TALVORN_STATION", "http://127.0.0.1:8470"},
                                              {"TALVORN_USER", "op"},
                                              {"TALVORN_PASSWORD", "pw"}};
    const auto getenv = [&](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    Options o = Parse({"--station", "http://h:1", "query", "1"});
    TakeEnvironment(&o, getenv);
    EXPECT_EQ(o.station.value_or(""), "http://h:1") << "the option wins";
    EXPECT_EQ(o.user, "op");
    EXPECT_EQ(o.password, "pw");
    o = Parse({"query", "1"});
    TakeEnvironment(&o, getenv);
    EXPECT_EQ(o.station.value_or(""), "http://127.0.0.1:8470");
    // A run on a port of its own, or a working folder of its own, is no run through a station.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "/dev/ttyS0", "query", "1"}, {"--workdir", "/w", "query", "1"}}) {
        o = Parse(args);
        TakeEnvironment(&o, getenv);
        EXPECT_FALSE(o.station.has_value()) << args[0];
    }
    env.clear();
    o = Parse({"query", "1"});
    TakeEnvironment(&o, getenv);
    EXPECT_FALSE(o.station.has_value());
    EXPECT_EQ(o.user, "");
}

TEST(ArgumentsTest, Errors) {
    EXPECT_EQ(ParseError({}), "no command given");
    EXPECT_EQ(ParseError({"status", "1"}), "unknown command 'status'");
    EXPECT_NE(ParseError({"--verbose", "query", "1"}).find("--verbose"), std::string::npos);
    EXPECT_EQ(ParseError({"query"}), "query needs the nodes");
    EXPECT_EQ(ParseError({"list"}), "list needs a node");
    EXPECT_EQ(ParseError({"send", "1"}), "send needs at least one file");
    EXPECT_EQ(ParseError({"delete", "1"}), "delete needs at least one file name");
    EXPECT_EQ(ParseError({"query", "1", "extra"}), "query takes no further arguments ('extra')");
    EXPECT_EQ(ParseError({"list", "1", "--", "2"}), "list takes no further arguments ('2')");
    EXPECT_NE(ParseError({"--channel", "3", "query", "1"}).find("must be 1 or 2, not '3'"),
              std::string::npos);
    EXPECT_NE(ParseError({"query", "1", "--port"}).find("--port"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--station", "http://h:1", "--port", "/dev/ttyS0", "query", "1"},
             {"query", "1", "--workdir", "/w", "--station=http://h:1"}})
        EXPECT_EQ(ParseError(args), "--station does not go with --port or --workdir: the running "
                                    "station has its own port and working folder");
    ParseError({"--station=", "query", "1"});
    ParseError({"--port=", "query", "1"});
    ParseError({"--workdir=", "query", "1"});
    for (const char* t :
         {"0", "-1", "abc", "1e", "inf", "nan", "", "5s", "0x10", "1e400", ".", "1.2.3"}) {
        EXPECT_NE(ParseError({"--timeout", t, "query", "1"}).find("--timeout"), std::string::npos)
            << t;
        EXPECT_NE(ParseError({"query", "1", "--silence", t}).find("--silence"), std::string::npos)
            << t;
    }
}

} // namespace
} // namespace cli
