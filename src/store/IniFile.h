// The INI helpers through which the program reads and writes its data files. They keep the sizes
// the files were written for: at most 8 characters of a number are converted, at most 298 of a
// string are kept, and a missing file or key reads as 0 or "".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/PrivateProfile.h"

constexpr size_t kIniNumberChars = 8;
constexpr size_t kIniStringChars = 298;

int32_t ReadIniInt(const std::string& section, const std::string& key, const std::string& file);
int32_t ReadIniLong(const std::string& section, const std::string& key, const std::string& file);
std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& file);
bool WriteIniInt(const std::string& section, const std::string& key, int32_t value,
                 const std::string& file);
bool WriteIniString(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& file);

// The same rules over a snapshot or a batch, for callers that read or write many keys at once.
int32_t ReadIniInt(const ProfileReader& reader, const std::string& section, const std::string& key);
std::string ReadIniString(const ProfileReader& reader, const std::string& section,
                          const std::string& key);
int32_t ReadIniInt(const ProfileBatch& batch, const std::string& section, const std::string& key);
std::string ReadIniString(const ProfileBatch& batch, const std::string& section,
                          const std::string& key);
bool WriteIniInt(ProfileBatch& batch, const std::string& section, const std::string& key,
                 int32_t value);
bool WriteIniString(ProfileBatch& batch, const std::string& section, const std::string& key,
                    const std::string& value);

// The conversions themselves: a stored value as ReadIniInt and ReadIniString return it.
int32_t IniIntFromText(const std::string& text);
std::string IniStringFromText(const std::string& text);
