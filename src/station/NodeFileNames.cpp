#include "station/NodeFileNames.h"

#include "station/NodeLabels.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

bool ShellSafe(char ch, bool first) {
    if (std::isalnum(static_cast<unsigned char>(ch)))
        return true;
    if (ch == '~')
        return !first; // a leading one is a home folder to a shell
    return std::string_view("._-+,@%:").find(ch) != std::string_view::npos;
}

// The stored bytes of a name field: base and extension without their padding, joined by ".".
std::string StoredName(const uint8_t field[kNameFieldSize]) {
    auto part = [&](size_t from, size_t to) {
        while (to > from && (field[to - 1] == ' ' || field[to - 1] == 0))
            --to;
        return std::string(reinterpret_cast<const char*>(field) + from, to - from);
    };
    const std::string base = part(0, 8);
    const std::string ext = part(8, kNameFieldSize);
    return ext.empty() ? base : base + "." + ext;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// "\xHH" (either case) as the byte it stands for; everything else as it is.
std::string Unescaped(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            HexDigit(name[i + 2]) >= 0 && HexDigit(name[i + 3]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(name[i + 2]) * 16 + HexDigit(name[i + 3])));
            i += 3;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

// The shown name with every dot inside the base name or the extension written as "\x2E": the
// entries "A.B" + "C" and "A" + "B.C" both show as "A.B.C", and a printed name names one entry.
std::string DistinctName(const uint8_t field[kNameFieldSize]) {
    uint8_t part[kNameFieldSize];
    const auto shownPart = [&](size_t from, size_t size) {
        std::memset(part, ' ', sizeof part);
        std::memcpy(part + from, field + from, size);
        std::string shown = ShownNodeFileName(part);
        if (from > 0 && !shown.empty())
            shown.erase(0, 1); // the "." before an extension alone
        std::string out;
        for (char ch : shown)
            out += ch == '.' ? std::string("\\x2E") : std::string(1, ch);
        return out;
    };
    const std::string base = shownPart(0, 8);
    const std::string ext = shownPart(8, kNameFieldSize - 8);
    return ext.empty() ? base : base + "." + ext;
}

} // namespace

std::string PrintedNodeName(const std::string& shown) {
    bool safe = !shown.empty();
    for (size_t i = 0; i < shown.size() && safe; ++i)
        safe = ShellSafe(shown[i], i == 0);
    if (safe)
        return shown;
    std::string quoted = "'";
    for (char ch : shown) {
        if (ch == '\'')
            quoted += "'\\''";
        else
            quoted.push_back(ch);
    }
    return quoted + "'";
}

std::string PrintedNodeName(const uint8_t field[12]) {
    return PrintedNodeName(DistinctName(field));
}

std::vector<std::string> ResolveNodeNames(const std::vector<NodeRecord::ListedFile>& listed,
                                          const std::vector<std::string>& names,
                                          std::vector<std::string>* missing,
                                          std::vector<std::string>* ambiguous) {
    std::vector<std::string> fields;
    const auto add = [](std::vector<std::string>& to, const NodeRecord::ListedFile& f) {
        std::string field(reinterpret_cast<const char*>(f.name), kNameFieldSize);
        if (std::find(to.begin(), to.end(), field) == to.end())
            to.push_back(std::move(field));
    };
    for (const std::string& name : names) {
        const std::string decoded = Unescaped(name);
        // The entry the name was printed from, when it is such a name; else every entry the name
        // can stand for, which must be one.
        std::vector<std::string> printed, meant;
        for (const NodeRecord::ListedFile& f : listed) {
            const std::string distinct = DistinctName(f.name);
            if (name == distinct || name == PrintedNodeName(distinct))
                add(printed, f);
            const std::string shown = ShownNodeFileName(f.name);
            const std::string stored = StoredName(f.name);
            if (name == shown || name == PrintedNodeName(shown) || name == stored ||
                decoded == stored)
                add(meant, f);
        }
        const std::vector<std::string>& found = printed.empty() ? meant : printed;
        if (found.size() == 1) {
            if (std::find(fields.begin(), fields.end(), found[0]) == fields.end())
                fields.push_back(found[0]);
        } else if (found.empty() || !ambiguous) {
            missing->push_back(name);
        } else {
            ambiguous->push_back(name);
        }
    }
    return fields;
}
