// The record of a task, of a command and of a cancel request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TaskType : int32_t {
    TASK_NONE = 0,
    TASK_QUERY_NODE = 1,
    TASK_SEND_FILE = 2,
    TASK_DELETE_FILE = 5,
    TASK_CLEAR_FILE = 6,
};

constexpr int kTaskNodes = 32;
constexpr int kMaxCancelTaskNos = 50;

class CTransTask {
public:
    CTransTask();
    CTransTask(const CTransTask& other);
    // Copies type, nodeMask, files, fileName, fileTag and taskNo; never cancelTaskNos.
    CTransTask& operator=(const CTransTask& other);
    virtual ~CTransTask();

    // True when any of the first `nodeCount` entries of nodeMask is set.
    bool AnyNode(int nodeCount) const;
    // First node below nodeCount whose mask entry is set, or -1.
    int FirstNode(int nodeCount) const;

    int32_t nodeMask[kTaskNodes];
    std::vector<std::string> files;
    int32_t cancelTaskNos[kMaxCancelTaskNos];
    std::string fileName;
    uint8_t fileTag[4];
    int32_t taskNo = 0;
    int32_t type = 0;
};

// One per target node per task: the node's list of tasks still to run on it.
struct TaskNote {
    int32_t taskNo = 0;
    int32_t type = 0;
    std::string text;
};
