#include "users/UserRecord.h"

#include <algorithm>
#include <cstring>

namespace {

void copyField(char (&field)[kUserFieldSize], std::string_view text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), kMaxUserText));
}

std::string fieldText(const char (&field)[kUserFieldSize]) {
    return std::string(field, strnlen(field, kMaxUserText));
}

} // namespace

bool fitsUserField(std::string_view text) {
    return text.size() <= kMaxUserText && text.find('\0') == std::string_view::npos;
}

UserRecord makeUserRecord(std::string_view name, std::string_view password, uint8_t isAdmin,
                          uint16_t rights) {
    UserRecord r{};
    copyField(r.name, name);
    copyField(r.password, password);
    r.isAdmin = isAdmin;
    r.setRights(rights);
    return r;
}

std::string userName(const UserRecord& r) {
    return fieldText(r.name);
}

std::string userPassword(const UserRecord& r) {
    return fieldText(r.password);
}

bool isWellFormed(const UserRecord& r) {
    return std::memchr(r.name, 0, kUserFieldSize) != nullptr &&
           std::memchr(r.password, 0, kUserFieldSize) != nullptr;
}
