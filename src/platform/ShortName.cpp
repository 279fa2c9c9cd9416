#include "platform/ShortName.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// Characters a short name may carry; the others are dropped, as spaces and extra dots are.
bool ShortChar(unsigned char ch) {
    if (std::isalnum(ch))
        return true;
    static const std::string kAllowed = "$%'-_@~`!(){}^#&";
    return kAllowed.find(static_cast<char>(ch)) != std::string::npos;
}

std::string Clean(const std::string& s, size_t limit) {
    std::string out;
    for (unsigned char ch : s) {
        if (out.size() >= limit)
            break;
        if (ShortChar(ch))
            out.push_back(static_cast<char>(std::toupper(ch)));
    }
    return out;
}

void Split(const std::string& name, std::string& base, std::string& ext) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) {
        base = name;
        ext.clear();
    } else {
        base = name.substr(0, dot);
        ext = name.substr(dot + 1);
    }
}

std::string StemOf(const std::string& name, std::string* ext) {
    std::string base, e;
    Split(name, base, e);
    if (ext)
        *ext = Clean(e, 3);
    return Clean(base, 6);
}

} // namespace

std::string ShortFileName(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path p(path);
    const std::string name = p.filename().string();
    std::string ext;
    const std::string stem = StemOf(name, &ext);

    // Rank among the long names of the folder that share stem and extension.
    std::vector<std::string> peers;
    std::error_code ec;
    for (fs::directory_iterator it(p.parent_path().empty() ? fs::path(".") : p.parent_path(), ec),
         end;
         !ec && it != end; it.increment(ec)) {
        const std::string other = it->path().filename().string();
        std::string otherBase, otherExt, cleanExt;
        Split(other, otherBase, otherExt);
        if (otherBase.size() < 9)
            continue;
        if (StemOf(other, &cleanExt) == stem && cleanExt == ext)
            peers.push_back(other);
    }
    std::sort(peers.begin(), peers.end());
    size_t rank = 1;
    const auto found = std::find(peers.begin(), peers.end(), name);
    if (found != peers.end())
        rank = static_cast<size_t>(found - peers.begin()) + 1;
    std::string tail = "~" + std::to_string(rank);
    std::string base = stem.substr(0, 8 - std::min<size_t>(tail.size(), 7)) + tail;
    return ext.empty() ? base : base + "." + ext;
}
