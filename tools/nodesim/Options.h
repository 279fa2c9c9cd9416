// Command line of talvorn-nodesim.
#pragma once

#include "Config.h"

#include <string>
#include <string_view>

namespace nodesim {

struct Options {
    Config config;
    std::string linkPath;
    bool verbose = false;
    bool help = false;
};

// False with a message for a bad option or value; `--help` is valid without anything else.
bool ParseOptions(int argc, const char* const* argv, Options* out, std::string* error);
std::string UsageText();

// "3,5-7" -> bits 3, 5, 6, 7. Nodes must be below `nodeCount`.
bool ParseNodeList(std::string_view list, int nodeCount, uint32_t* mask, std::string* error);

} // namespace nodesim
