// Node status codes, shared by the link, the task layer and the windows.
#pragma once

enum NodeStatus : int {
    NS_IDLE = 0,
    NS_NEED_HEAD = 1,
    NS_BAD_REPLY = 2,
    NS_NO_REPLY = 3,
    NS_FILE_DONE = 4,
    NS_NO_ROOM = 5,
    NS_FILE_NUM_EXCEED = 6,
    NS_MORE = 7,
    NS_LIST_CLIPPED = 8,
    NS_REQUEST_SENT = 9,
    NS_QUERY_END = 10,
    NS_DELETE_END = 11,
    NS_CLEAR_END = 12,
    NS_STOPPED = 13,
    NS_QUERYING = 14,
    NS_WAITING = 15,
    NS_DELETING = 16,
    NS_RETRY_DELETE = 17,
    NS_CLEARING = 18,
    NS_RETRY_CLEAR = 19,
    NS_SENDING_HEAD = 20,
    NS_SENDING_PACKAGES = 21,
    NS_CANCELLED = 22,
    // A file of the send could not be read (vanished, changed or unreadable) when it was due; the
    // node went on with the task's next files. An end state that callers report as a failure.
    NS_FILE_UNREADABLE = 23,
    // The node has work on a line whose port failed; its work waits until the line is back.
    NS_LINE_LOST = 24,
    // A file of the send would have had the node name of another file of the same send; it was
    // not sent, so that it cannot replace the other on the machine. A failure, as 23.
    NS_DUPLICATE_NAME = 25,
    // The node's file checks went on naming packages that cannot be sent (only the head's bit,
    // only bits beyond the file's packages, or none while saying some are missing) for a number of
    // rounds in a row; it left the send instead of being asked for ever. A failure, as 23.
    NS_NO_PROGRESS = 26,
};

// The text the windows show for a status, or "" for codes without one.
const char* NodeStatusText(int status);

// A status that ends a node's part in a task: its results (4, 5, 6, 10, 11, 12), the cancel (22)
// and the failures 23, 25 and 26. The working codes, "Line Lost" and the link's own codes are none.
bool EndsNodePart(int status);

// The status a node keeps once the completion rules of a command are applied to it. A code of the
// link alone (no reply, stopped, request sent ...) has no text, and the windows would go on showing
// the text of an earlier step. Such a node shows "Quering..." when more of its task follows (a
// check or a query comes next), "Waiting..." when its task waits for it in a deferred copy, and
// else "User Has Cancelled Task" (the task was withdrawn from it, as the windows then show it). A
// status with a text stays as it is.
int SettledStatus(int status, bool moreToRun, bool deferred);
