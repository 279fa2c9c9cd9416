#include "link/NodeStatus.h"

const char* NodeStatusText(int status) {
    switch (status) {
    case NS_FILE_DONE:
        return "Send File End";
    case NS_NO_ROOM:
        return "No Sufficient Room";
    case NS_FILE_NUM_EXCEED:
        return "File Num Exceed";
    case NS_QUERY_END:
        return "Query End";
    case NS_DELETE_END:
        return "Delete End";
    case NS_CLEAR_END:
        return "Clear End";
    case NS_QUERYING:
        return "Quering...";
    case NS_WAITING:
        return "Waiting...";
    case NS_DELETING:
        return "Deleting...";
    case NS_RETRY_DELETE:
        return "Retry Delete...";
    case NS_CLEARING:
        return "Clearing...";
    case NS_RETRY_CLEAR:
        return "Retry Clear...";
    case NS_SENDING_HEAD:
        return "Sending File's Head...";
    case NS_SENDING_PACKAGES:
        return "Sending File's Package...";
    case NS_CANCELLED:
        return "User Has Cancelled Task";
    case NS_FILE_UNREADABLE:
        return "File Cannot Be Read";
    case NS_LINE_LOST:
        return "Line Lost";
    case NS_DUPLICATE_NAME:
        return "Duplicate File Name";
    case NS_NO_PROGRESS:
        return "Send Made No Progress";
    default:
        return "";
    }
}

int SettledStatus(int status, bool moreToRun, bool deferred) {
    if (NodeStatusText(status)[0] != '\0')
        return status;
    if (moreToRun)
        return NS_QUERYING;
    return deferred ? NS_WAITING : NS_CANCELLED;
}

bool EndsNodePart(int status) {
    switch (status) {
    case NS_FILE_DONE:
    case NS_NO_ROOM:
    case NS_FILE_NUM_EXCEED:
    case NS_QUERY_END:
    case NS_DELETE_END:
    case NS_CLEAR_END:
    case NS_CANCELLED:
    case NS_FILE_UNREADABLE:
    case NS_DUPLICATE_NAME:
    case NS_NO_PROGRESS:
        return true;
    default:
        return false;
    }
}
