// Simulated lines for the protocol tests: the node simulator on a pseudo-terminal, and a free
// loopback port for the station's HTTP API beside it (Linux only).
#pragma once

#include "NodeSim.h"
#include "TestSupport.h"

#include <memory>
#include <string>

namespace testsupport {

// One simulated line: the simulator serving on a link inside a temporary folder.
class SimLine {
public:
    explicit SimLine(nodesim::Config config);
    ~SimLine();
    // Starts serving; false with the reason in `error`.
    bool Start(std::string* error = nullptr);
    nodesim::Simulator& sim() { return *sim_; }
    const std::string& link() const { return link_; }
    TempDir& dir() { return dir_; }

private:
    TempDir dir_;
    std::string link_;
    std::unique_ptr<nodesim::Simulator> sim_;
};

// A loopback TCP port that nobody listens on now, for a server whose address a test must write
// down before it starts (a Listen that another program reads back from Para.ini).
int FreePort();

// Creates the process-wide centre with channel 0 on `line0` (and channel 1 on `line1` when given)
// at 115200 bps (or the speed index given), mode index 0. Returns Create's result.
int CreateCentre(SimLine* line0, int nodes0, SimLine* line1 = nullptr, int nodes1 = 0,
                 int speedIndex = 3);

} // namespace testsupport
