#include "CliArgs.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

bool Fail(std::string* error, std::string message) {
    *error = std::move(message);
    return false;
}

bool ParseIndex(std::string_view text, long* out) {
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, *out);
    return ec == std::errc() && p == end;
}

// Seconds as a plain decimal number; rejects "inf", "nan", hex and trailing junk.
bool ParseSeconds(const std::string& text, double* out) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v) || v <= 0 || v > 1e7)
        return false;
    *out = v;
    return true;
}

struct CommandInfo {
    const char* name;
    Command command;
    bool needsOperands; // send and delete take at least one file or name
};

constexpr CommandInfo kCommands[] = {
    {"query", Command::Query, false}, {"list", Command::List, false},
    {"send", Command::Send, true},    {"delete", Command::Delete, true},
    {"clear", Command::Clear, false},
};

} // namespace

std::string UsageText() {
    return R"(Usage: talvorn-cli [options] COMMAND ...

Runs one task on the machines of one channel, as the station's main window does, and
prints one line per machine: its number, a tab and its final status.

Commands:
  query  NODES          query the nodes; print each node's storage figures
  list   NODE           query one node; print its files, one "NAME<TAB>SIZE" a line
                        (the node's status line goes to stderr)
  send   NODES FILE...  send the files to the nodes
  delete NODE NAME...   delete the named files on one node (names as `list` prints them)
  clear  NODES          delete every file on the nodes

NODES are node indexes within the channel: 3, 0-7, 0,2,5-9.

Options:
  --workdir DIR      folder of Para.ini and the event log (default: the current folder);
                     Para.ini is created there with the defaults when it is missing
  --channel 1|2      channel to use (default 1)
  --port DEVICE      port of the channel for this run only: COM1..COM9 or a device path
  --timeout SECONDS  cancel what has not ended after this long (default 600)
  --help             show this text

Exit status: 0 when every node ended in its success state, 1 when some node did not
(or the run was interrupted), 2 for a usage error or a port that cannot be opened.
)";
}

const char* CommandName(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command)
            return info.name;
    }
    return "";
}

bool ParseArguments(const std::vector<std::string>& args, Options* out, std::string* error) {
    Options o;
    std::vector<std::string> words; // command and operands, in order
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        // "-3" is a (bad) node list, not an option.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg != "--workdir" && arg != "--channel" && arg != "--port" && arg != "--timeout")
            return Fail(error, "unknown option '" + arg + "'");
        if (!hasValue) {
            if (i + 1 >= args.size())
                return Fail(error, arg + " needs a value");
            value = args[++i];
        }
        if (arg == "--workdir") {
            if (value.empty())
                return Fail(error, "--workdir needs a folder");
            o.workDir = value;
        } else if (arg == "--channel") {
            if (value != "1" && value != "2")
                return Fail(error, "--channel must be 1 or 2, not '" + value + "'");
            o.channel = value[0] - '0';
        } else if (arg == "--port") {
            if (value.empty())
                return Fail(error, "--port needs a port name or a device path");
            o.port = value;
        } else if (!ParseSeconds(value, &o.timeoutSeconds)) {
            return Fail(error,
                        "--timeout must be a number of seconds above 0, not '" + value + "'");
        }
    }
    if (o.help) {
        *out = std::move(o);
        return true;
    }
    if (words.empty())
        return Fail(error, "no command given");
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : kCommands) {
        if (words[0] == c.name)
            info = &c;
    }
    if (!info)
        return Fail(error, "unknown command '" + words[0] + "'");
    o.command = info->command;
    const std::string name = info->name;
    if (words.size() < 2)
        return Fail(error,
                    name + " needs " +
                        (o.command == Command::List || o.command == Command::Delete ? "a node"
                                                                                    : "the nodes"));
    o.nodes = words[1];
    o.operands.assign(words.begin() + 2, words.end());
    if (info->needsOperands && o.operands.empty())
        return Fail(error, name + (o.command == Command::Send ? " needs at least one file"
                                                              : " needs at least one file name"));
    if (!info->needsOperands && !o.operands.empty())
        return Fail(error, name + " takes no further arguments ('" + o.operands[0] + "')");
    *out = std::move(o);
    return true;
}

bool ParseNodeList(const std::string& text, int nodeCount, NodeSet* out, std::string* error) {
    NodeSet nodes{};
    const std::string range =
        nodeCount > 0 ? "0 to " + std::to_string(nodeCount - 1) : std::string("none");
    if (text.empty())
        return Fail(error, "empty node list");
    std::string_view rest = text;
    while (true) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const size_t dash = item.find('-');
        long first = 0, last = 0;
        bool ok;
        if (dash == std::string_view::npos) {
            ok = ParseIndex(item, &first);
            last = first;
        } else {
            ok = ParseIndex(item.substr(0, dash), &first) &&
                 ParseIndex(item.substr(dash + 1), &last);
        }
        if (!ok)
            return Fail(error, "bad node list item '" + std::string(item) +
                                   "' (expected e.g. 3, 0-7 or 0,2,5-9)");
        if (first > last)
            return Fail(error, "reversed node range '" + std::string(item) + "'");
        if (first < 0 || last >= nodeCount || last >= static_cast<long>(nodes.size()))
            return Fail(error, "node " + std::to_string(first < 0 ? first : last) +
                                   " is out of range (the channel's nodes are " + range + ")");
        for (long n = first; n <= last; ++n)
            nodes[static_cast<size_t>(n)] = true;
        if (comma == std::string_view::npos)
            break;
        rest = rest.substr(comma + 1);
    }
    *out = nodes;
    return true;
}

std::vector<int> NodeIndexes(const NodeSet& nodes) {
    std::vector<int> out;
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (nodes[n])
            out.push_back(static_cast<int>(n));
    }
    return out;
}

} // namespace cli
