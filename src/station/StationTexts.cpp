#include "station/StationTexts.h"

std::string StationText(int id) {
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
    default:
        return {};
    }
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
