#include "NodeFiles.h"

#include "link/NodeStatus.h"
#include "tasks/TaskLayer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace cli {

namespace fs = std::filesystem;

bool CheckSendFiles(const std::vector<std::string>& paths, std::vector<SendFile>* out,
                    std::string* error) {
    std::vector<SendFile> files;
    if (paths.size() > static_cast<size_t>(kMaxEntries)) {
        *error = "too many files (" + std::to_string(paths.size()) + "); a node holds at most " +
                 std::to_string(kMaxEntries);
        return false;
    }
    for (const std::string& p : paths) {
        std::error_code ec;
        const fs::path abs = fs::absolute(p, ec);
        if (ec || !fs::exists(abs, ec)) {
            *error = p + ": no such file";
            return false;
        }
        if (!fs::is_regular_file(abs, ec)) {
            *error = p + ": not a regular file";
            return false;
        }
        const uint64_t size = fs::file_size(abs, ec);
        if (ec || !std::ifstream(abs, std::ios::binary)) {
            *error = p + ": cannot be read";
            return false;
        }
        // The task layer drops such files without a word; here the user hears of it first.
        if (size == 0 || size > kMaxSendBytes) {
            *error = p + ": " + std::to_string(size) + " bytes; a node takes files of 1 to " +
                     std::to_string(kMaxSendBytes) + " bytes";
            return false;
        }
        SendFile f;
        f.path = abs.lexically_normal().string();
        uint8_t field[kNameFieldSize];
        NodeNameField(f.path, field);
        f.field.assign(reinterpret_cast<const char*>(field), kNameFieldSize);
        f.size = size;
        for (const SendFile& other : files) {
            if (SameNodeName(reinterpret_cast<const uint8_t*>(other.field.data()), field)) {
                *error = p + ": has the same name on the node as " + other.path + " (" +
                         ShownNodeFileName(field) + ")";
                return false;
            }
        }
        files.push_back(std::move(f));
    }
    *out = std::move(files);
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
    switch (status) {
    case NS_FILE_DONE:
    case NS_NO_ROOM:
    case NS_FILE_NUM_EXCEED:
    case NS_QUERY_END:
    case NS_DELETE_END:
    case NS_CLEAR_END:
    case NS_CANCELLED:
        return NodeStatusText(status);
    default:
        return NodeStatusText(NS_CANCELLED);
    }
}

} // namespace cli
