// The rules of the main window's task commands that are not file-group rules: which nodes a
// command addresses, what a send takes from the checked groups, and how a logged command (send,
// delete, clear) is handed to the task layer. The window asks and shows; these decide.
#pragma once

#include "station/FileGroups.h"
#include "tasks/TransTask.h"

#include <cstdint>
#include <string>
#include <vector>

// Fills `mask` for the node indexes `nodes`: every entry is cleared first, and only indexes below
// both `nodeCount` and kTaskNodes are set, so a node count above 32 never writes past the mask and
// a closed channel (node count 0) marks nothing. True when a node was marked.
bool MarkNodes(const std::vector<int>& nodes, int nodeCount, int32_t (&mask)[kTaskNodes]);

// What Send File does with the checked groups.
enum class SendRefusal {
    None,          // send collection.files (collection.problems were left out: tell the operator)
    NoFiles,       // no group checked, or the checked groups hold no file
    TooMany,       // more files than a node holds (kMaxEntries): send nothing
    NothingToSend, // every file was left out (collection.problems says why)
};
struct SendPlan {
    SendRefusal refusal = SendRefusal::None;
    SendCollection collection;
    size_t sendable = 0; // files that could go, counting those beyond kMaxEntries
};
SendPlan PlanSend(const std::vector<int>& checkedGroups,
                  TaskList<FileGroup>& groups = fileGroups());

// The logged commands.
enum class LoggedCommand { Send, Delete, Clear };

enum class HandOver {
    Queued,        // logged, then queued
    NotQueued,     // nothing logged: no centre takes the task on that channel
    LogUnwritable, // nothing logged or queued: the event log cannot be written (see `reason`)
    LogFailed,     // nothing queued: writing the event log failed
};

// Logs the command (the request's nodes; for a send its files as paths, for a delete the one
// node and its files as 12-byte name fields) in the name of `user`, then creates its task on
// `channel`. A command that cannot be logged is not queued: an event log that says less than the
// machines were told would be worse than a refused command.
HandOver LogAndQueue(LoggedCommand command, int channel, CTransTask& request,
                     const std::string& user, std::string* reason = nullptr);
