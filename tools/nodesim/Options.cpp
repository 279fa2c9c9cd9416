#include "Options.h"

#include <charconv>
#include <vector>

namespace nodesim {

namespace {

template <typename T> bool ParseNumber(std::string_view text, T* out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, *out);
    return !text.empty() && ec == std::errc() && p == end;
}

bool ParseInt(std::string_view text, long long low, long long high, long long* out) {
    return ParseNumber(text, out) && *out >= low && *out <= high;
}

bool ParseRate(std::string_view text, double* out) {
    return ParseNumber(text, out) && *out >= 0 && *out <= 1;
}

bool Fail(std::string* error, std::string message) {
    *error = std::move(message);
    return false;
}

} // namespace

std::string UsageText() {
    return R"(Usage: talvorn-nodesim --link PATH [options]

Plays the nodes of one serial line over a pseudo-terminal. PATH becomes a symbolic
link to the terminal side that the station opens as its port. Serves until SIGINT or
SIGTERM, then removes the link.

  --link PATH         symbolic link to create (required)
  --nodes N           number of nodes, 1..32 (default 32)
  --capacity BYTES    storage of each node, at most 65535 clusters (default 1457664)
  --cluster BYTES     allocation unit, 1..65535 (default 512)
  --max-files N       file table size, 0..224 (default 224)
  --preload DIR       give every file of DIR to every node at start
  --store DIR         mirror node n's files in DIR/node-NN/, emptied at start; a store
                      that holds what the simulator did not write is refused
  --clear-store       empty DIR/node-NN/ at start whatever it holds (links as links)
  --drop P            probability that a node ignores a request frame (0..1)
  --drop-node N:P     drop probability of node N alone (repeatable)
  --corrupt P         probability that a reply has a flipped byte or is cut short
  --silent LIST       nodes that never hear nor answer anything, e.g. 3,5-7
  --late MS           answer MS milliseconds later than normal
  --late-node N:MS    answer delay of node N alone (repeatable)
  --baud B            emulate a line of B bits per second, 11 bits a byte (0 = off)
  --seed S            seed of the random faults (default 1)
  --verbose           log every frame to stderr
  --help              show this text

Prints "ready PATH -> TERMINAL" on stdout once serving. Exit status: 0 after SIGINT or
SIGTERM, 1 when the terminal, the link or a folder cannot be made, 2 for a bad option.
)";
}

bool ParseNodeList(std::string_view list, int nodeCount, uint32_t* mask, std::string* error) {
    uint32_t bits = 0;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        const size_t dash = item.find('-');
        long long first = 0, last = 0;
        bool ok;
        if (dash == std::string_view::npos) {
            ok = ParseInt(item, 0, nodeCount - 1, &first);
            last = first;
        } else {
            ok = ParseInt(item.substr(0, dash), 0, nodeCount - 1, &first) &&
                 ParseInt(item.substr(dash + 1), first, nodeCount - 1, &last);
        }
        if (!ok)
            return Fail(error, "bad node list item '" + std::string(item) + "' (nodes are 0 to " +
                                   std::to_string(nodeCount - 1) + ")");
        for (long long n = first; n <= last; ++n)
            bits |= 1u << n;
    }
    if (bits == 0)
        return Fail(error, "empty node list");
    *mask = bits;
    return true;
}

bool ParseOptions(int argc, const char* const* argv, Options* out, std::string* error) {
    Options o;
    std::string silentList;
    std::vector<std::string> dropNodes;
    std::vector<std::string> lateNodes;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool hasValue = false;
        if (const size_t eq = arg.find('=');
            arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "--verbose" || arg == "--clear-store") {
            if (hasValue)
                return Fail(error, std::string(arg) + " takes no value");
            (arg == "--help"      ? o.help
             : arg == "--verbose" ? o.verbose
                                  : o.config.clearStore) = true;
            continue;
        }
        static const char* const kValued[] = {"--link",      "--nodes",   "--capacity", "--cluster",
                                              "--max-files", "--preload", "--store",    "--drop",
                                              "--drop-node", "--corrupt", "--silent",   "--late",
                                              "--late-node", "--baud",    "--seed"};
        bool known = false;
        for (const char* name : kValued)
            known = known || arg == name;
        if (!known)
            return Fail(error, "unknown option '" + std::string(arg) + "'");
        if (!hasValue) {
            if (i + 1 >= argc)
                return Fail(error, std::string(arg) + " needs a value");
            value = argv[++i];
        }
        const std::string name(arg);
        const auto bad = [&](const char* expected) {
            return Fail(error,
                        name + ": expected " + expected + ", got '" + std::string(value) + "'");
        };
        long long n = 0;
        double p = 0;
        if (arg == "--link") {
            if (value.empty())
                return bad("a path");
            o.linkPath = value;
        } else if (arg == "--nodes") {
            if (!ParseInt(value, 1, kMaxNodes, &n))
                return bad("a node count from 1 to 32");
            o.config.nodeCount = static_cast<int>(n);
        } else if (arg == "--capacity") {
            if (!ParseInt(value, 1, 0xFFFFFFFFll, &n))
                return bad("a byte count from 1 to 4294967295");
            o.config.capacityBytes = static_cast<uint32_t>(n);
        } else if (arg == "--cluster") {
            if (!ParseInt(value, 1, 65535, &n))
                return bad("a byte count from 1 to 65535");
            o.config.clusterBytes = static_cast<uint32_t>(n);
        } else if (arg == "--max-files") {
            if (!ParseInt(value, 0, kMaxEntries, &n))
                return bad("a file count from 0 to 224");
            o.config.maxFiles = static_cast<int>(n);
        } else if (arg == "--preload" || arg == "--store") {
            if (value.empty())
                return bad("a folder");
            (arg == "--preload" ? o.config.preloadDir : o.config.storeDir) = value;
        } else if (arg == "--drop") {
            if (!ParseRate(value, &p))
                return bad("a probability from 0 to 1");
            o.config.dropRate = p;
        } else if (arg == "--drop-node") {
            dropNodes.emplace_back(value); // checked once the node count is known
        } else if (arg == "--late-node") {
            lateNodes.emplace_back(value);
        } else if (arg == "--corrupt") {
            if (!ParseRate(value, &p))
                return bad("a probability from 0 to 1");
            o.config.corruptRate = p;
        } else if (arg == "--silent") {
            silentList = value;
            if (silentList.empty())
                return bad("a node list such as 3,5-7");
        } else if (arg == "--late") {
            if (!ParseInt(value, 0, 600000, &n))
                return bad("milliseconds from 0 to 600000");
            o.config.lateMs = static_cast<int>(n);
        } else if (arg == "--baud") {
            if (!ParseInt(value, 0, 10000000, &n))
                return bad("bits per second from 0 to 10000000");
            o.config.baud = static_cast<uint32_t>(n);
        } else if (arg == "--seed") {
            uint64_t seed = 0;
            if (!ParseNumber(value, &seed))
                return bad("an unsigned integer");
            o.config.seed = seed;
        }
    }
    if (o.help) {
        *out = std::move(o);
        return true;
    }
    if (o.linkPath.empty())
        return Fail(error, "--link PATH is required");
    if (!silentList.empty() &&
        !ParseNodeList(silentList, o.config.nodeCount, &o.config.silentNodes, error)) {
        *error = "--silent: " + *error;
        return false;
    }
    for (const std::string& item : dropNodes) {
        const size_t colon = item.find(':');
        long long node = 0;
        double p = 0;
        if (colon == std::string::npos ||
            !ParseInt(std::string_view(item).substr(0, colon), 0, o.config.nodeCount - 1, &node) ||
            !ParseRate(std::string_view(item).substr(colon + 1), &p))
            return Fail(error, "--drop-node: expected NODE:P with NODE from 0 to " +
                                   std::to_string(o.config.nodeCount - 1) +
                                   " and P from 0 to 1, got '" + item + "'");
        o.config.nodeDropRate[static_cast<size_t>(node)] = p;
    }
    for (const std::string& item : lateNodes) {
        const size_t colon = item.find(':');
        long long node = 0, ms = 0;
        if (colon == std::string::npos ||
            !ParseInt(std::string_view(item).substr(0, colon), 0, o.config.nodeCount - 1, &node) ||
            !ParseInt(std::string_view(item).substr(colon + 1), 0, 600000, &ms))
            return Fail(error, "--late-node: expected NODE:MS with NODE from 0 to " +
                                   std::to_string(o.config.nodeCount - 1) +
                                   " and MS from 0 to 600000, got '" + item + "'");
        o.config.nodeLateMs[static_cast<size_t>(node)] = static_cast<int>(ms);
    }
    if (!ValidateConfig(o.config, error))
        return false;
    *out = std::move(o);
    return true;
}

} // namespace nodesim
