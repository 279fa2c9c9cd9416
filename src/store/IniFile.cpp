#include "store/IniFile.h"

#include <cstdlib>

int32_t IniIntFromText(const std::string& text) {
    // Eight characters cannot overflow a 32-bit value, so this is atoi without its undefined
    // cases.
    std::string kept = text.substr(0, kIniNumberChars);
    return static_cast<int32_t>(std::strtol(kept.c_str(), nullptr, 10));
}

std::string IniStringFromText(const std::string& text) {
    return text.substr(0, kIniStringChars);
}

int32_t ReadIniInt(const std::string& section, const std::string& key, const std::string& file) {
    return IniIntFromText(ProfileGetString(file, section, key, "0"));
}

int32_t ReadIniLong(const std::string& section, const std::string& key, const std::string& file) {
    return ReadIniInt(section, key, file);
}

std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& file) {
    return IniStringFromText(ProfileGetString(file, section, key, ""));
}

bool WriteIniInt(const std::string& section, const std::string& key, int32_t value,
                 const std::string& file) {
    return ProfileSetString(file, section, key, std::to_string(value));
}

bool WriteIniString(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& file) {
    return ProfileSetString(file, section, key, value);
}

int32_t ReadIniInt(const ProfileReader& reader, const std::string& section,
                   const std::string& key) {
    return IniIntFromText(reader.get(section, key, "0"));
}

std::string ReadIniString(const ProfileReader& reader, const std::string& section,
                          const std::string& key) {
    return IniStringFromText(reader.get(section, key, ""));
}

int32_t ReadIniInt(const ProfileBatch& batch, const std::string& section, const std::string& key) {
    return IniIntFromText(batch.get(section, key, "0"));
}

std::string ReadIniString(const ProfileBatch& batch, const std::string& section,
                          const std::string& key) {
    return IniStringFromText(batch.get(section, key, ""));
}

bool WriteIniInt(ProfileBatch& batch, const std::string& section, const std::string& key,
                 int32_t value) {
    return batch.set(section, key, std::to_string(value));
}

bool WriteIniString(ProfileBatch& batch, const std::string& section, const std::string& key,
                    const std::string& value) {
    return batch.set(section, key, value);
}
