// What the command line checks against a node's file list and the local files, kept apart from
// the run so that it can be tested without a line.
#pragma once

#include "link/CommCenter.h"
#include "station/FileGroups.h"
#include "station/NodeLabels.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

using ListedFile = NodeRecord::ListedFile;

// A local file to send, as checked before anything is queued.
using SendFile = CollectedFile;

// Checks the files of a send: each a readable regular file of 1 byte to the largest size a node
// takes, no two under the same node name, no more than a node's list holds. False with a message
// naming the first bad file. Each file's `field` is the name the send gives it on the machines.
bool CheckSendFiles(const std::vector<std::string>& paths, std::vector<SendFile>* out,
                    std::string* error);

// True when the list holds the file's name with exactly its size.
bool HoldsFile(const std::vector<ListedFile>& listed, const SendFile& file);

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
std::vector<std::string> ResolveNodeNames(const std::vector<ListedFile>& listed,
                                          const std::vector<std::string>& names,
                                          std::vector<std::string>* missing,
                                          std::vector<std::string>* ambiguous = nullptr);

// The status a node ended with, as the node list shows it: its own text for an end state; a node
// whose task notes ran out before an end state shows "User Has Cancelled Task"; a code without a
// text shows as "status N".
std::string FinalStatusText(int status);

} // namespace cli
