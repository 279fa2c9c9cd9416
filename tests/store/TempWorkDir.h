// A fresh working folder per test, with the program-wide records reset around it.
#pragma once

#include "platform/PrivateProfile.h"
#include "store/EventLog.h"
#include "store/SystemParameters.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TempWorkDir : public ::testing::Test {
protected:
    void SetUp() override {
        ResetParameters();
        ProfileClearCache();
        dir = testsupport::MakeTempFolder("talvorn-store");
        Params().workDir = dir;
    }
    void TearDown() override {
        SetEventLogClock(nullptr);
        ResetParameters();
        std::error_code ec;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir, ec);
    }

    std::string file(const std::string& name) const { return dir + "/" + name; }

    static std::string readAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void writeRaw(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

    std::string dir;
};
