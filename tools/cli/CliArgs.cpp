#include "CliArgs.h"

#include "StationAccess.h"
#include "station/NodeLabels.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

namespace cli {

namespace {

bool Fail(std::string* error, std::string message) {
    *error = std::move(message);
    return false;
}

struct CommandInfo {
    const char* name;
    Command command;
    const char* nodesName;   // "NODES" or "NODE"
    const char* operandName; // "FILE", "NAME" or nullptr: the command takes nothing more
    const char* description;
};

constexpr CommandInfo kCommands[] = {
    {"query", Command::Query, "NODES", nullptr,
     "Query the nodes; print each one's storage figures"},
    {"list", Command::List, "NODE", nullptr,
     "Query one node; print its files, one NAME<TAB>SIZE a line"},
    {"send", Command::Send, "NODES", "FILE",
     "Send the files to the nodes; print each file's name on the machines"},
    {"delete", Command::Delete, "NODE", "NAME",
     "Delete the named files on one node (names as list prints them)"},
    {"clear", Command::Clear, "NODES", nullptr, "Delete every file on the nodes"},
};

const char kDescription[] =
    "Runs one task on the machines of one channel, as the station's main window does, and prints "
    "one line per machine: its number, a tab and its final status.";

const char kNodesNote[] =
    "NODES are the node numbers the station shows: the channel's first number (ChannelNComOne in "
    "Para.ini) plus the node's place on the line, e.g. 3, 1-8 or 1,3,5-8. With a first number of "
    "1 the eight nodes of a line are 001 to 008. A number outside the channel's is refused.";

const char kNamesNote[] =
    "Names on the machines are printed as delete takes them (list prints them on stdout, send on "
    "stderr before it starts). A name that holds what a shell would change is printed in single "
    "quotes, and bytes that are not plain printable characters (a blank, bytes outside ASCII) as "
    "\\xHH: paste the name as printed. delete also takes the name with its real bytes. Put -- "
    "before a name or a file that begins with -.";

const char kEndNote[] =
    "A node that has not answered for --silence seconds since it was first asked is given up "
    "(\"No Answer\"), and so is every unfinished node when nothing has moved for that long. A "
    "lost line ends the run at once (\"Line Lost\"). --timeout caps the whole run. Whatever ends "
    "the run early (--timeout, Ctrl-C) cancels only the nodes that have not reached their end; "
    "the others keep their result. Progress goes to stderr.";

const char kExitNote[] =
    "Exit status: 0 every node ended in its success state; 1 some node did not (or the command "
    "could not be logged); 2 a usage error, a port that cannot be opened, or a station that "
    "cannot be reached or refuses the user; 130 interrupted (SIGINT); 143 terminated (SIGTERM).";

const char kStationNote[] =
    "While a station runs (windowed or talvorn-stationd), it owns the port: --station URL (or "
    "TALVORN_STATION) runs the same commands through its HTTP API, as the user TALVORN_USER with "
    "the password TALVORN_PASSWORD of that station's Log On, with the same output and exit "
    "statuses. The event log names that user. The files of a send are read by the station: "
    "their paths must name files on its host.";

// Paragraphs wrapped at 100 columns, blank lines between them.
std::string Wrapped(const std::vector<std::string>& paragraphs) {
    std::string out;
    for (const std::string& p : paragraphs) {
        if (!out.empty())
            out += "\n\n";
        std::istringstream words(p);
        std::string word, line;
        while (words >> word) {
            if (!line.empty() && line.size() + 1 + word.size() > 100) {
                out += line + "\n";
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
        }
        out += line;
    }
    return out;
}

// The usage line of each command, which CLI11 cannot tell: its operands are checked here so that
// words after "--" can still join them.
class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        for (const CommandInfo& c : kCommands) {
            if (app->get_name() == c.name) {
                std::string usage =
                    "Usage: talvorn-cli [OPTIONS] " + std::string(c.name) + " " + c.nodesName;
                if (c.operandName)
                    usage += std::string(" ") + c.operandName + "...";
                return usage + "\n";
            }
        }
        return "Usage: talvorn-cli [OPTIONS] COMMAND ...\n";
    }
};

// The options every level takes, so that they may stand before or after the command.
struct OptionValues {
    std::string workDir, channel, port, timeout, silence, station;
    bool portGiven = false;
};

std::string CheckSeconds(const std::string& value) {
    double v = 0;
    return ParseSeconds(value, &v)
               ? std::string()
               : "must be a number of seconds above 0 (e.g. 30 or 2.5), not '" + value + "'";
}

void AddCommonOptions(CLI::App* app, OptionValues& v) {
    const auto last = CLI::MultiOptionPolicy::TakeLast;
    app->add_option("--workdir", v.workDir,
                    "Folder of Para.ini and the event log (default: the current one)")
        ->type_name("DIR")
        ->multi_option_policy(last)
        ->check([](const std::string& s) { return s.empty() ? "needs a folder" : ""; });
    app->add_option("--channel", v.channel, "Channel to use (default 1)")
        ->type_name("1|2")
        ->multi_option_policy(last)
        ->check([](const std::string& s) {
            return s == "1" || s == "2" ? std::string() : "must be 1 or 2, not '" + s + "'";
        });
    app->add_option("--port", v.port, "Port for this run only: COM1..COM9 or a device path")
        ->type_name("DEVICE")
        ->multi_option_policy(last)
        ->check([](const std::string& s) {
            return s.empty() ? "needs a port name or a device path" : "";
        });
    app->add_option("--station", v.station,
                    CanReachStations()
                        ? "A running station's HTTP API, e.g. http://127.0.0.1:8470 (default: "
                          "TALVORN_STATION); needs TALVORN_USER and TALVORN_PASSWORD"
                        : "A running station's HTTP API: not in this build, which has no HTTP "
                          "client")
        ->type_name("URL")
        ->multi_option_policy(last)
        ->check([](const std::string& s) { return s.empty() ? "needs a station's URL" : ""; });
    app->add_option("--timeout", v.timeout,
                    "Cap on the whole run, any number above 0 (default: none)")
        ->type_name("SECONDS")
        ->multi_option_policy(last)
        ->check(CheckSeconds);
    app->add_option("--silence", v.silence,
                    "How long a node may not answer, and nothing move (default 30)")
        ->type_name("SECONDS")
        ->multi_option_policy(last)
        ->check(CheckSeconds);
}

} // namespace

const char* CommandName(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command)
            return info.name;
    }
    return "";
}

std::string VersionText() {
    return "talvorn-cli 0.2";
}

void TakeEnvironment(Options* o, const std::function<const char*(const char*)>& getenv) {
    const auto value = [&](const char* name) {
        const char* v = getenv(name);
        return v ? std::string(v) : std::string();
    };
    if (!o->station && !o->port && o->workDir.empty() && !value("TALVORN_STATION").empty())
        o->station = value("TALVORN_STATION");
    o->user = value("TALVORN_USER");
    o->password = value("TALVORN_PASSWORD");
}

bool ParseSeconds(const std::string& text, double* out) {
    // Digits with at most one point, and an optional exponent: no signs, words or hex.
    size_t i = 0, digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == start)
            return false;
    }
    if (i != text.size())
        return false;
    const double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v) || v <= 0)
        return false;
    *out = v;
    return true;
}

ParseOutcome ParseArguments(const std::vector<std::string>& args, Options* out) {
    // "--" ends the options. CLI11 hands a "--" that follows a command's complete operands back
    // to the main level, where they are refused; so the words after it are split off here and
    // given to the command as operands.
    std::vector<std::string> head = args, tail;
    if (const auto dd = std::find(args.begin(), args.end(), "--"); dd != args.end()) {
        head.assign(args.begin(), dd);
        tail.assign(dd + 1, args.end());
    }

    OptionValues values;
    CLI::App app(Wrapped({kDescription}), "talvorn-cli");
    app.formatter(std::make_shared<UsageFormatter>());
    app.set_version_flag("--version", VersionText());
    AddCommonOptions(&app, values);
    std::vector<std::string> stray; // words before any command
    app.add_option("WORDS", stray)->group("");
    app.require_subcommand(0, 1);
    app.footer(Wrapped({kNodesNote, kNamesNote, kEndNote,
                        "Para.ini is created in the working folder with the defaults when it is "
                        "missing. --port replaces the channel's port for this run; nothing is "
                        "written.",
                        kStationNote, kExitNote}));

    struct Parsed {
        const CommandInfo* info;
        CLI::App* app;
        std::string nodes;
        std::vector<std::string> operands;
    };
    std::vector<Parsed> commands;
    commands.reserve(std::size(kCommands));
    for (const CommandInfo& info : kCommands) {
        CLI::App* sub = app.add_subcommand(info.name, info.description);
        AddCommonOptions(sub, values);
        commands.push_back({&info, sub, {}, {}});
        Parsed& p = commands.back();
        sub->add_option(info.nodesName, p.nodes,
                        std::string(info.nodesName) == "NODE"
                            ? "One node number as the station shows it, e.g. 3"
                            : "Node numbers as the station shows them: 3, 1-8, 1,3,5-8")
            ->type_name("");
        if (info.operandName)
            sub->add_option(info.operandName, p.operands,
                            info.command == Command::Send
                                ? "Local files to send"
                                : "Names of files on the node, as list prints them")
                ->type_name("");
        else
            sub->add_option("EXTRA", p.operands)->group("");
        std::vector<std::string> notes = {kNodesNote};
        if (info.command == Command::List || info.command == Command::Send ||
            info.command == Command::Delete)
            notes.push_back(kNamesNote);
        notes.push_back(kEndNote);
        notes.push_back(kExitNote);
        sub->footer(Wrapped(notes));
    }

    ParseOutcome outcome;
    try {
        std::vector<std::string> reversed(head.rbegin(), head.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        std::ostringstream text, errors;
        app.exit(e, text, errors);
        outcome.kind = ParseOutcome::Print;
        outcome.text = text.str();
        return outcome;
    } catch (const CLI::CallForAllHelp& e) {
        std::ostringstream text, errors;
        app.exit(e, text, errors);
        outcome.kind = ParseOutcome::Print;
        outcome.text = text.str();
        return outcome;
    } catch (const CLI::CallForVersion&) {
        outcome.kind = ParseOutcome::Print;
        outcome.text = VersionText() + "\n";
        return outcome;
    } catch (const CLI::ParseError& e) {
        outcome.text = e.what();
        return outcome;
    }

    const Parsed* chosen = nullptr;
    for (const Parsed& p : commands) {
        if (p.app->parsed())
            chosen = &p;
    }
    if (!chosen) {
        const std::vector<std::string>& words = stray.empty() ? tail : stray;
        outcome.text = words.empty() ? "no command given" : "unknown command '" + words[0] + "'";
        return outcome;
    }
    Options o;
    o.command = chosen->info->command;
    o.nodes = chosen->nodes;
    o.operands = chosen->operands;
    for (const std::string& word : tail) {
        if (o.nodes.empty())
            o.nodes = word;
        else
            o.operands.push_back(word);
    }
    const std::string name = chosen->info->name;
    if (o.nodes.empty()) {
        outcome.text = name + " needs " +
                       (std::string(chosen->info->nodesName) == "NODE" ? "a node" : "the nodes");
        return outcome;
    }
    if (chosen->info->operandName && o.operands.empty()) {
        outcome.text = name + (o.command == Command::Send ? " needs at least one file"
                                                          : " needs at least one file name");
        return outcome;
    }
    if (!chosen->info->operandName && !o.operands.empty()) {
        outcome.text = name + " takes no further arguments ('" + o.operands[0] + "')";
        return outcome;
    }
    if (!values.workDir.empty())
        o.workDir = values.workDir;
    if (!values.channel.empty())
        o.channel = values.channel[0] - '0';
    if (!values.port.empty())
        o.port = values.port;
    if (!values.station.empty()) {
        if (o.port || !o.workDir.empty()) {
            outcome.text = "--station does not go with --port or --workdir: the running station "
                           "has its own port and working folder";
            return outcome;
        }
        o.station = values.station;
    }
    double seconds = 0;
    if (!values.timeout.empty() && ParseSeconds(values.timeout, &seconds))
        o.timeoutSeconds = seconds;
    if (!values.silence.empty() && ParseSeconds(values.silence, &seconds))
        o.silenceSeconds = seconds;
    *out = std::move(o);
    outcome.kind = ParseOutcome::Run;
    return outcome;
}

bool ParseNodeList(const std::string& text, const NodeNumbering& numbering, NodeSet* out,
                   std::string* error) {
    NodeSet nodes{};
    const int count = std::clamp(numbering.count, 0, static_cast<int>(nodes.size()));
    if (text.empty())
        return Fail(error, "empty node list");
    std::string_view rest = text;
    while (true) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const size_t dash = item.find('-');
        const std::string_view firstText = item.substr(0, dash);
        const std::string_view lastText =
            dash == std::string_view::npos ? firstText : item.substr(dash + 1);
        long first = 0, last = 0;
        if (!ParseNodeNumber(firstText, &first) || !ParseNodeNumber(lastText, &last))
            return Fail(error, "bad node list item '" + std::string(item) +
                                   "' (expected node numbers such as 3, 1-8 or 1,3,5-8)");
        if (first > last)
            return Fail(error, "reversed node range '" + std::string(item) + "'");
        for (const auto& [number, typed] : {std::pair{first, firstText}, {last, lastText}}) {
            const long index = number - numbering.first;
            if (index < 0 || index >= count)
                return Fail(error, NodeOutOfRangeText(typed, numbering.first, count));
        }
        for (long n = first; n <= last; ++n)
            nodes[static_cast<size_t>(n - numbering.first)] = true;
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
