#include "tasks/TransTask.h"

#include <cstring>

CTransTask::CTransTask() {
    std::memset(nodeMask, 0, sizeof nodeMask);
    for (int i = 0; i < kMaxCancelTaskNos; ++i)
        cancelTaskNos[i] = -1;
    std::memset(fileTag, 0, sizeof fileTag);
    files.reserve(10);
}

CTransTask::CTransTask(const CTransTask& other) : CTransTask() {
    *this = other;
}

CTransTask& CTransTask::operator=(const CTransTask& other) {
    if (this == &other)
        return *this;
    type = other.type;
    std::memcpy(nodeMask, other.nodeMask, sizeof nodeMask);
    files.clear();
    files.insert(files.end(), other.files.begin(), other.files.end());
    fileName = other.fileName;
    std::memcpy(fileTag, other.fileTag, sizeof fileTag);
    taskNo = other.taskNo;
    return *this;
}

CTransTask::~CTransTask() = default;

bool CTransTask::AnyNode(int nodeCount) const {
    return FirstNode(nodeCount) >= 0;
}

int CTransTask::FirstNode(int nodeCount) const {
    if (nodeCount > kTaskNodes)
        nodeCount = kTaskNodes;
    for (int n = 0; n < nodeCount; ++n)
        if (nodeMask[n])
            return n;
    return -1;
}
