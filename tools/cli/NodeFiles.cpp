#include "NodeFiles.h"

#include "link/NodeStatus.h"
#include "station/NodeRows.h"
#include "tasks/TaskLayer.h"

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

std::vector<std::string> ResolveNodeNames(const std::vector<ListedFile>& listed,
                                          const std::vector<std::string>& names,
                                          std::vector<std::string>* missing) {
    std::vector<std::string> fields;
    for (const std::string& name : names) {
        bool found = false;
        for (const ListedFile& f : listed) {
            if (ShownNodeFileName(f.name) != name)
                continue;
            found = true;
            std::string field(reinterpret_cast<const char*>(f.name), kNameFieldSize);
            bool known = false;
            for (const std::string& have : fields)
                known = known || have == field;
            if (!known)
                fields.push_back(std::move(field));
        }
        if (!found)
            missing->push_back(name);
    }
    return fields;
}

std::string FinalStatusText(int status) {
    NodeSnapshot ended;
    ended.status = status;
    const std::string text = NodeInfoText(ShownStatus(ended, true), 0);
    return text.empty() ? "status " + std::to_string(status) : text;
}

} // namespace cli
