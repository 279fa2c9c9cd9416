#include "NodeFiles.h"

#include "link/NodeStatus.h"
#include "station/NodeRows.h"
#include "tasks/TaskLayer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace cli {

bool CheckSendFiles(const std::vector<std::string>& paths, std::vector<SendFile>* out,
                    std::string* error) {
    if (paths.size() > static_cast<size_t>(kMaxEntries)) {
        *error = "too many files (" + std::to_string(paths.size()) + "); a node holds at most " +
                 std::to_string(kMaxEntries);
        return false;
    }
    // The station's own rules; the task layer would drop such files without a word, so the
    // user hears of the first one here and nothing is sent.
    SendCollection collected = CollectSendPaths(paths);
    if (!collected.problems.empty()) {
        *error = FileProblemText(collected.problems.front());
        return false;
    }
    // The names the send will give them on the machines, as the task layer assigns them.
    const std::vector<AssignedName> names = AssignNodeNames(collected.Paths());
    for (size_t i = 0; i < names.size() && i < collected.files.size(); ++i)
        collected.files[i].field.assign(reinterpret_cast<const char*>(names[i].field),
                                        kNameFieldSize);
    *out = std::move(collected.files);
    return true;
}

bool HoldsFile(const std::vector<ListedFile>& listed, const SendFile& file) {
    const auto* field = reinterpret_cast<const uint8_t*>(file.field.data());
    for (const ListedFile& f : listed) {
        if (SameNodeName(f.name, field) && f.length == file.size)
            return true;
    }
    return false;
}

std::string FinalStatusText(int status) {
    NodeSnapshot ended;
    ended.status = status;
    const std::string text = NodeInfoText(ShownStatus(ended, true), 0);
    return text.empty() ? "status " + std::to_string(status) : text;
}

} // namespace cli
