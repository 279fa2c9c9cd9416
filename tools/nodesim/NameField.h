// The 12-byte file name field under which a node keeps a file, and the helpers that turn it into
// and out of ordinary file names.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nodesim {

using NameField = std::array<uint8_t, 12>;

// Field of a file name (a bare name; a leading path is ignored): the upper-case base name in
// bytes 0-7, the extension without its dot from byte 8, blank-padded. A name without a dot, or
// whose only dot leads, is copied whole from byte 0. Over-long parts are cut to their field.
NameField MakeNameField(std::string_view fileName);

NameField FieldFromString(std::string_view twelveBytes); // zero-padded when shorter
std::string FieldToString(const NameField& field);       // always 12 bytes

// Names in delete frames are zero-padded while heads are blank-padded: trailing zero bytes and
// trailing blanks count alike.
bool SameName(const uint8_t* a, const uint8_t* b);
inline bool SameName(const NameField& a, const NameField& b) {
    return SameName(a.data(), b.data());
}

// "BASE.EXT" with the blanks removed, as the store folder names the mirror of a file. Bytes that
// cannot stand in a file name become '_'.
std::string MirrorFileName(const NameField& field);

// The field under which a node keeps `fileName`, as the 12-byte string the Simulator takes.
inline std::string NodeNameField(std::string_view fileName) {
    return FieldToString(MakeNameField(fileName));
}

// Readable form for logs: the 12 bytes with zero bytes shown as '.', e.g. "ABC     DST ".
std::string PrintableName(const uint8_t* field);

} // namespace nodesim
