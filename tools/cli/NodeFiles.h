// What the command line checks against a node's file list and the local files, kept apart from
// the run so that it can be tested without a line.
#pragma once

#include "link/CommCenter.h"
#include "station/FileGroups.h"
#include "station/NodeFileNames.h"
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

// Printing node file names and reading them back (station/NodeFileNames.h).
using ::PrintedNodeName;
using ::ResolveNodeNames;

// The status a node ended with, as the node list shows it: its own text for an end state; a node
// whose task notes ran out before an end state shows "User Has Cancelled Task"; a code without a
// text shows as "status N".
std::string FinalStatusText(int status);

} // namespace cli
