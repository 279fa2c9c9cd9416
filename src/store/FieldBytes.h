// Length limits of stored text fields, counted in bytes of the stored encoding (UTF-8), not in
// characters: a user name field holds 19 bytes, a machine name 20, and a name of Chinese
// characters reaches either limit after six or seven of them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True when `utf8` is at most `maxBytes` bytes long.
bool FitsFieldBytes(std::string_view utf8, size_t maxBytes);

// The longest prefix of `utf8` of at most `maxBytes` bytes that does not end inside a character.
std::string CutToFieldBytes(std::string_view utf8, size_t maxBytes);
