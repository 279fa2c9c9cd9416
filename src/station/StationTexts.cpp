#include "station/StationTexts.h"

#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "platform/StringTable.h"
#include "store/MachineTable.h"
#include "tasks/TaskLayer.h"
#include "users/UserTexts.h"

namespace {

// Where identifiers lie: the user dialogs' (32895, 32896 and 41700 to 41799) and ours.
constexpr int kIdRanges[][2] = {{32000, 32999}, {41000, 42499}};

std::string OwnText(int id) {
    switch (id) {
    case kIdsReplaceQuestion:
        return "File Has Already Existed.\r\nCover It and Send It?";
    case kIdsInvalidFile:
        return "Invalid File!";
    case kIdsFileMissing:
        return "%1: no such file";
    case kIdsFileNotRegular:
        return "%1: not a regular file";
    case kIdsFileUnreadable:
        return "%1: cannot be read";
    case kIdsFileSizeRefused:
        return "%1: %2 bytes; a node takes files of 1 to %3 bytes";
    case kIdsFileSameNodeName:
        return "%1: has the same name on the node as %2 (%3)";
    case kIdsFileTooMany:
        return "%1: left out; a node holds at most %2 files";
    case kIdsMachineTextTooLong:
        return kMachineTextTooLong;
    case kIdsMachineTextCaption:
        return kMachineTextCaption;
    default:
        return {};
    }
}

std::string StatusText(int status) {
    return NodeStatusText(status);
}

} // namespace

int StatusTextId(int status) {
    return status >= 0 && status <= 99 ? kIdsStatusBase + status : 0;
}

int ChannelResultTextId(int result) {
    return kIdsChannelResultBase + (result & 3);
}

int TaskTypeTextId(int type) {
    return type >= 0 && type <= 9 ? kIdsTaskTypeBase + type : 0;
}

std::string EnglishText(int id) {
    if (id >= kIdsStatusBase && id <= kIdsStatusBase + 99)
        return StatusText(id - kIdsStatusBase);
    if (id >= kIdsChannelResultBase && id <= kIdsChannelResultBase + 3)
        return CCommCenter::ResultText(id - kIdsChannelResultBase);
    if (id >= kIdsTaskTypeBase && id <= kIdsTaskTypeBase + 9)
        return TaskTypeName(id - kIdsTaskTypeBase);
    std::string own = OwnText(id);
    return own.empty() ? userEnglishText(id) : own;
}

std::string StationText(int id) {
    return EditionString(id, EnglishText(id));
}

void SetTextTranslator(TextTranslator translator) {
    SetStringTranslator(std::move(translator));
}

std::vector<int> StationTextIds() {
    std::vector<int> ids;
    for (const auto& range : kIdRanges)
        for (int id = range[0]; id <= range[1]; ++id) {
            if (!EnglishText(id).empty())
                ids.push_back(id);
        }
    return ids;
}

std::string FormatText(const std::string& pattern, const std::vector<std::string>& args) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next <= '9') {
            const size_t a = static_cast<size_t>(next - '1');
            if (a < args.size())
                out += args[a];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
