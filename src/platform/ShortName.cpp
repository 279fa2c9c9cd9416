#include "platform/ShortName.h"

#include <cctype>
#include <cstdint>
#include <filesystem>

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

uint32_t Fnv1a(const std::string& s, uint32_t h = 2166136261u) {
    for (unsigned char ch : s)
        h = (h ^ ch) * 16777619u;
    return h;
}

constexpr char kHashDigits[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ"; // 32, no I, L, O, U

} // namespace

std::string ShortFileName(const std::string& path, int probe) {
    const std::string name = std::filesystem::path(path).filename().string();
    std::string base, ext;
    Split(name, base, ext);
    std::string upper;
    for (unsigned char ch : name)
        upper.push_back(static_cast<char>(std::toupper(ch)));
    uint32_t h = Fnv1a(upper);
    if (probe > 0)
        h = Fnv1a("#" + std::to_string(probe), h);
    std::string shortBase = Clean(base, 3) + "~";
    for (int i = 0; i < 4; ++i)
        shortBase.push_back(kHashDigits[(h >> (5 * i)) & 31]);
    const std::string shortExt = Clean(ext, 3);
    return shortExt.empty() ? shortBase : shortBase + "." + shortExt;
}
