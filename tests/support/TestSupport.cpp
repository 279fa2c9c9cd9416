#include "TestSupport.h"

#include "platform/KeyStore.h"
#include "platform/PasswordHash.h"
#include "users/UserStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

namespace testsupport {

std::string MakeTempFolder(const std::string& prefix) {
    // A new name that nobody else has made: create_directory fails on an existing one.
    namespace fs = std::filesystem;
    std::random_device seed;
    std::mt19937_64 gen((uint64_t(seed()) << 32) ^ seed() ^
                        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "-%08llx",
                      static_cast<unsigned long long>(gen() & 0xFFFFFFFFu));
        std::error_code ec;
        if (fs::create_directory(base / (prefix + name), ec))
            return (base / (prefix + name)).generic_string();
    }
    throw std::runtime_error("no temporary folder could be made");
}

void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnv(const std::string& name) {
#ifdef _WIN32
    _putenv_s(name.c_str(), ""); // an empty value removes the variable there
#else
    ::unsetenv(name.c_str());
#endif
}

void SetUserSettingsFolder(const std::string& folder) {
#ifdef _WIN32
    SetEnv("APPDATA", folder);
#else
    SetEnv("XDG_CONFIG_HOME", folder);
#endif
}

bool StoredPasswordIs(int record, const std::string& password) {
    std::vector<uint8_t> bytes;
    if (KeyStore::getValue(kUserKey, userValueName(record), bytes) != KeyRead::kOk)
        return false;
    if (bytes.size() == kUserRecordSize) {
        UserRecord r;
        std::memcpy(&r, bytes.data(), sizeof r);
        return isWellFormed(r) && userPassword(r) == password;
    }
    if (bytes.size() != kUserRecordSize + kPasswordHashSize)
        return false;
    char hash[kPasswordHashSize];
    std::memcpy(hash, bytes.data() + kUserRecordSize, sizeof hash);
    return PasswordMatches(hash, password);
}

CheapPasswordHashes::CheapPasswordHashes() {
    SetPasswordHashCost(CheapestPasswordHashCost());
}

CheapPasswordHashes::~CheapPasswordHashes() {
    SetPasswordHashCost(InteractivePasswordHashCost());
}

TempDir::TempDir() : path_(MakeTempFolder("talvorn-test")) {}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<uint8_t> DesignBytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(gen());
    // A few sync patterns inside the data, as real files may hold them.
    for (size_t at = 100; at + 6 < size; at += 4099) {
        const uint8_t sync[6] = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90};
        std::copy(sync, sync + 6, out.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace testsupport
