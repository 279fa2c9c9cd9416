#include "station/NodeLabels.h"

#include "tasks/TaskLayer.h"

#include <cstdio>
#include <cstring>

std::string ShownNodeFileName(const uint8_t name[12]) {
    // One rule for the node-file list, talvorn-cli's `list` and the names its `delete` takes.
    return DisplayNodeName(name);
}

namespace {

size_t TrimmedLength(const uint8_t* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0))
        --n;
    return n;
}

} // namespace

bool SameNodeName(const uint8_t* a, const uint8_t* b) {
    const size_t n = TrimmedLength(a, kNameFieldSize);
    return n == TrimmedLength(b, kNameFieldSize) && std::memcmp(a, b, n) == 0;
}

std::vector<NodeFileRow> NodeFileRows(const NodeRecord& node) {
    std::vector<NodeFileRow> rows;
    const auto listed = node.ListedFiles();
    for (size_t k = 0; k < listed.size(); ++k) {
        const NodeRecord::ListedFile& f = listed[k];
        if (TrimmedLength(f.name, 8) == 0)
            break;
        NodeFileRow row;
        char no[16];
        std::snprintf(no, sizeof no, "%2d", static_cast<int>(k));
        row.noText = no;
        row.name = ShownNodeFileName(f.name);
        row.sizeText = std::to_string(f.length);
        row.field.assign(reinterpret_cast<const char*>(f.name), kNameFieldSize);
        row.length = f.length;
        rows.push_back(std::move(row));
    }
    return rows;
}
