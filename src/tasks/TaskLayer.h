// What the windows and the command line call of the task layer.
#pragma once

#include "link/CommCenter.h"
#include "tasks/TransTask.h"

#include <cstdint>
#include <string>
#include <vector>

// File checks in a row that a node may answer without naming a package that can be sent, before
// it leaves the send with NS_NO_PROGRESS: a node that has lost a package once names it at the next
// check, so a few rounds are plenty, and a confused one no longer holds the line for ever.
constexpr int kUselessCheckLimit = 8;

// File checks in a row that may go unanswered (the request or its reply lost) before the node is
// deferred: each is asked again where it costs least. A line that loses one frame in six loses
// four in a row once in a thousand times; a node that is gone is deferred after as many tries.
constexpr int kLostCheckRetries = 3;

// Each numbers the request, queues a copy and notes it on its nodes; 1 when queued, 0 when no
// centre exists (or, for a delete, when the request names more than one node).
int CreateQueryTask(int channel, CTransTask& request);
int CreateSendTask(int channel, CTransTask& request);
int CreateDeleteTask(int channel, CTransTask& request);
int CreateClearTask(int channel, CTransTask& request);

// One row of the Cancel Task dialog.
struct CancelEntry {
    int32_t taskNo = 0;
    int32_t type = 0;
    std::string text;
    int32_t ticked = 0;
};

// The distinct pending tasks of the nodes selected in request.nodeMask, last note first per
// node; clears the mask of nodes that have no note. Empty when nothing is pending.
std::vector<CancelEntry> CollectCancelList(CCommCenter& cc, int channel, CTransTask& request);
// Writes the ticked entries' numbers (ended by -1) into the request; false when none is ticked.
bool FillCancelNumbers(const std::vector<CancelEntry>& entries, CTransTask& request);
const char* TaskTypeName(int type);

// The 12-byte node file name field of a local path: upper-case base name in bytes 0..7,
// extension from byte 8, spaces elsewhere; long base names go by their stable short form
// (ShortName.h).
void NodeNameField(const std::string& path, uint8_t field[12]);

// The node names of the files of one send, in order. Files with short names keep their own;
// long names take their stable short form, and one whose short form another file of the send
// already has takes the next probe, so two files of a send never share a name. A file whose name
// an earlier file of the send has too (the same name from two folders) is marked `duplicate`:
// sent as well, it would replace the other on the machine.
struct AssignedName {
    uint8_t field[12];
    bool duplicate = false;
};
std::vector<AssignedName> AssignNodeNames(const std::vector<std::string>& paths);
// The node name as the windows show it: base, ".", extension, without the padding.
std::string DisplayNodeName(const uint8_t field[12]);

// The tag that names a file's content to the nodes: CRC-32 over the bytes and then the length.
// False when the file cannot be read or its size is outside 1..maxBytes.
bool ComputeFileTag(const std::string& path, uint32_t maxBytes, uint8_t tag[4],
                    uint32_t* length = nullptr);
