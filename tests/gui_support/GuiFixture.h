// The base of every window test: a fresh working folder (also the current folder, where the
// program keeps its files), a user table in a temporary XDG_CONFIG_HOME, a clean log-on state,
// no communication centre, and a scripted Prompter.
#pragma once

#include "ScriptedPrompter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // workDir + "/" + name
    std::string file(const std::string& name) const { return workDir + "/" + name; }

    std::string workDir;    // the working folder
    std::string configHome; // XDG_CONFIG_HOME
    ScriptedPrompter prompts;

private:
    std::string root_;
    std::string oldCwd_;
    std::string oldConfigHome_;
    bool hadConfigHome_ = false;
    testsupport::CheapPasswordHashes cheapHashes_;
};
