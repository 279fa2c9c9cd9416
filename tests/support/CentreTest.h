// Base of the tests that run the process-wide centre against simulated lines.
#pragma once

#include "link/CommCenter.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// The node name field of a local file, as the 12-byte string the simulator takes.
inline std::string NameFieldOf(const std::string& path) {
    uint8_t f[12];
    NodeNameField(path, f);
    return std::string(reinterpret_cast<char*>(f), 12);
}

class CentreTest : public ::testing::Test {
protected:
    void TearDown() override { CCommCenter::Destroy(); }
    CCommCenter& Cc() { return *CCommCenter::Instance(); }
    NodeRecord& Node(int n, int c = 0) { return Cc().nodes[c][n]; }
    int Status(int n, int c = 0) { return Node(n, c).status.load(); }
    // Nothing queued, deferred or running on the channel.
    bool Quiet(int c = 0) { return Cc().ChannelQuiet(c); }
};

} // namespace testsupport
