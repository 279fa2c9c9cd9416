// The key-store tests' fixture, shared by keystore_test.cpp and keystore_posix_test.cpp.
#pragma once

#include "platform/KeyStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace keystoretest {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline constexpr const char* kKey = "Ornisys\\";

// Points XDG_CONFIG_HOME at a fresh folder that does not exist yet.
class KeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = testsupport::MakeTempFolder("talvorn-keystore");
        if (const char* home = std::getenv("HOME"))
            home_ = home;
        testsupport::SetUserSettingsFolder(base_ + "/config");
    }
    void TearDown() override {
        testsupport::SetEnv("HOME", home_);
        fs::remove_all(base_);
    }

    static Bytes fileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void writeFile(const std::string& path, const Bytes& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static Bytes get(const char* name) {
        Bytes v;
        KeyStore::getValue(kKey, name, v);
        return v;
    }
    std::string base_;
    std::string home_;
};

inline const Bytes kRecord = {'b', 'o', 'b', 0, 0xFF, 0x00, 0x7F, 0x80, 1};

} // namespace keystoretest
