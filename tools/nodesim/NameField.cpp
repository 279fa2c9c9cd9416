#include "NameField.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nodesim {

namespace {

uint8_t Upper(char c) {
    return static_cast<uint8_t>(std::toupper(static_cast<unsigned char>(c)));
}

size_t TrimmedLength(const uint8_t* field) {
    size_t n = 12;
    while (n > 0 && (field[n - 1] == 0 || field[n - 1] == ' '))
        --n;
    return n;
}

void AppendSafe(std::string& out, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = p[i];
        if (c == ' ' || c == 0)
            continue;
        out.push_back(c < 0x20 || c == '/' || c == '\\' || c == 0x7F ? '_' : static_cast<char>(c));
    }
}

} // namespace

NameField MakeNameField(std::string_view fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    NameField f;
    f.fill(' ');
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        for (size_t i = 0; i < fileName.size() && i < 12; ++i)
            f[i] = Upper(fileName[i]);
        return f;
    }
    for (size_t i = 0; i < dot && i < 8; ++i)
        f[i] = Upper(fileName[i]);
    for (size_t i = dot + 1, j = 8; i < fileName.size() && j < 12; ++i, ++j)
        f[j] = Upper(fileName[i]);
    return f;
}

NameField FieldFromString(std::string_view twelveBytes) {
    NameField f{};
    std::memcpy(f.data(), twelveBytes.data(), std::min<size_t>(twelveBytes.size(), 12));
    return f;
}

std::string FieldToString(const NameField& field) {
    return std::string(reinterpret_cast<const char*>(field.data()), field.size());
}

bool SameName(const uint8_t* a, const uint8_t* b) {
    const size_t n = TrimmedLength(a);
    return n == TrimmedLength(b) && std::memcmp(a, b, n) == 0;
}

std::string MirrorFileName(const NameField& field) {
    std::string base, ext;
    AppendSafe(base, field.data(), 8);
    AppendSafe(ext, field.data() + 8, 4);
    std::string name = ext.empty() ? base : base + "." + ext;
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name;
}

std::string PrintableName(const uint8_t* field) {
    std::string s(12, '.');
    for (size_t i = 0; i < 12; ++i)
        if (field[i] >= 0x20 && field[i] < 0x7F)
            s[i] = static_cast<char>(field[i]);
    return s;
}

} // namespace nodesim
