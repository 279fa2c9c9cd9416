// Node file names as a script passes them around: printed so that a shell hands them back
// unchanged and each names one entry, and matched back to the entries of a node's file list.
// talvorn-cli prints and reads them; the HTTP API takes the names a delete asks for the same way.
#pragma once

#include "link/CommCenter.h"

#include <cstdint>
#include <string>
#include <vector>

// The name `list` and `send` print for a node file: the name as the station shows it
// (ShownNodeFileName), as it stands when a shell passes it on unchanged, else in single quotes,
// so that pasting it into a command line hands `delete` the shown name. From a name field, a dot
// inside the base name or the extension is printed as "\x2E", so that no two entries print alike
// ("A.B" + "C" prints as 'A\x2EB.C', "A" + "B.C" as 'A.B\x2EC').
std::string PrintedNodeName(const std::string& shown);
std::string PrintedNodeName(const uint8_t field[12]);

// Maps names to the 12-byte fields of the listed entries, each once. A name printed by `list` (as
// the shell passes it on, or with its quotes still on, as a script may pass it) stands for the
// one entry it was printed from. Any other name goes with an entry when it is the entry's shown
// name or its stored bytes (base and extension without padding, joined by ".") as they stand or
// written with "\xHH" escapes; it must go with one entry only. Names that match nothing go to
// `missing`, names that match several to `ambiguous` (to `missing` when that is null).
std::vector<std::string> ResolveNodeNames(const std::vector<NodeRecord::ListedFile>& listed,
                                          const std::vector<std::string>& names,
                                          std::vector<std::string>* missing,
                                          std::vector<std::string>* ambiguous = nullptr);
