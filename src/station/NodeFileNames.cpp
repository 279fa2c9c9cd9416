#include "station/NodeFileNames.h"

#include "station/NodeLabels.h"

#include <algorithm>
#include <cctype>
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
    return PrintedNodeName(ShownNodeFileName(field));
}

std::vector<std::string> ResolveNodeNames(const std::vector<NodeRecord::ListedFile>& listed,
                                          const std::vector<std::string>& names,
                                          std::vector<std::string>* missing) {
    std::vector<std::string> fields;
    for (const std::string& name : names) {
        const std::string decoded = Unescaped(name);
        bool found = false;
        for (const NodeRecord::ListedFile& f : listed) {
            const std::string shown = ShownNodeFileName(f.name);
            const std::string stored = StoredName(f.name);
            if (name != shown && name != PrintedNodeName(shown) && name != stored &&
                decoded != stored)
                continue;
            found = true;
            std::string field(reinterpret_cast<const char*>(f.name), kNameFieldSize);
            if (std::find(fields.begin(), fields.end(), field) == fields.end())
                fields.push_back(std::move(field));
        }
        if (!found)
            missing->push_back(name);
    }
    return fields;
}
