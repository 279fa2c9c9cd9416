// The INI tests' folder and helpers, shared by ini_test.cpp and ini_posix_test.cpp.
#pragma once

#include "platform/PrivateProfile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace initest {

class TempDir {
public:
    TempDir() : path_(testsupport::MakeTempFolder("talvorn-ini")) {}
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeRaw(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

class Ini : public ::testing::Test {
protected:
    void SetUp() override { ProfileClearCache(); }
    TempDir dir;
};

} // namespace initest
