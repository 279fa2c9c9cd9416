// The command line of talvorn-cli: options, command and operands, and the node lists.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // some node did not end in its success state
constexpr int kExitUsage = 2;  // bad command line or a configuration that cannot be used
// A run ended by a signal exits as shells expect of one: 128 + the signal (130 SIGINT, 143
// SIGTERM).
constexpr int kExitSignalBase = 128;

// How long a node may stay without answering, and the whole run without progress, before the
// run gives up on it.
constexpr double kDefaultSilenceSeconds = 30;

enum class Command { None, Query, List, Send, Delete, Clear };

struct Options {
    std::string workDir; // empty: the current folder
    int channel = 1;     // 1 or 2, as the windows name them
    std::optional<std::string> port;
    std::optional<double> timeoutSeconds; // a cap on the whole run; none by default
    double silenceSeconds = kDefaultSilenceSeconds;
    Command command = Command::None;
    std::string nodes; // NODES (or NODE) as typed; checked against the channel later
    std::vector<std::string> operands; // files of a send, names of a delete
    // A station that runs already and owns the port: its HTTP API's URL, with the user and
    // password of its Log On (TALVORN_STATION, TALVORN_USER, TALVORN_PASSWORD).
    std::optional<std::string> station;
    std::string user;
    std::string password;
};

// What the command line asks for.
struct ParseOutcome {
    enum Kind {
        Run,   // run the command in Options
        Print, // print `text` on stdout and end with kExitOk (--help, --version)
        Error, // a usage error: `text` says why; end with kExitUsage
    };
    Kind kind = Error;
    std::string text;
};

const char* CommandName(Command command);
// "talvorn-cli" and its version, as --version prints it.
std::string VersionText();

// Parses argv[1..]. Node numbers are checked later, once the channel's numbering is known.
ParseOutcome ParseArguments(const std::vector<std::string>& args, Options* out);

// Fills what the environment gives: TALVORN_STATION (unless --station, --port or --workdir is
// given: a run on a port of its own), TALVORN_USER and TALVORN_PASSWORD. `getenv` returns null for
// a variable that is not set.
void TakeEnvironment(Options* options, const std::function<const char*(const char*)>& getenv);

// A number of seconds as the options take it: a plain decimal number above 0 ("30", "2.5",
// "1e3"); false for anything else ("0", "-1", "inf", "nan", "5s", "0x10", "").
bool ParseSeconds(const std::string& text, double* out);

// Node n of the channel is a target when its entry is true.
using NodeSet = std::array<bool, 32>;

// The channel's nodes as the station numbers them: node index i shows as first + i ("%03d").
struct NodeNumbering {
    int first = 0; // the channel's ChannelNComOne
    int count = 0; // the channel's node count
};

// "3", "1-8", "1,3,5-8": node numbers as the station shows them (leading zeros allowed: "003").
// False with a message for anything else (empty items, reversed ranges, numbers outside the
// channel's, which the message names, stray characters); `out` is then left as it was.
bool ParseNodeList(const std::string& text, const NodeNumbering& numbering, NodeSet* out,
                   std::string* error);

// The nodes as a list of indexes, ascending.
std::vector<int> NodeIndexes(const NodeSet& nodes);

} // namespace cli
