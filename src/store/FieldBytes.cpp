#include "store/FieldBytes.h"

bool FitsFieldBytes(std::string_view utf8, size_t maxBytes) {
    return utf8.size() <= maxBytes;
}

std::string CutToFieldBytes(std::string_view utf8, size_t maxBytes) {
    if (utf8.size() <= maxBytes)
        return std::string(utf8);
    size_t cut = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the character that the limit
    // would split.
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(utf8.substr(0, cut));
}
