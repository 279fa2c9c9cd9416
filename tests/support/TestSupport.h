// Helpers shared by the test executables: temporary folders, waiting for a condition, and
// simulated lines for the protocol tests.
#pragma once

#include "NodeSim.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Polls `done` until it holds or the deadline passes; true when it held. Threads are slow on a
// loaded machine: give generous deadlines and never assert after a plain sleep.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds deadline = std::chrono::seconds(60));

// Deterministic pseudo-random content of a design file.
std::vector<uint8_t> DesignBytes(size_t size, uint32_t seed);
// Writes bytes to a file; false on failure.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

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

// True when record `record` of the user table holds `password`: its hash verifies it (or, in a
// record written before passwords were hashed, the clear text equals it).
bool StoredPasswordIs(int record, const std::string& password);

// Cheap password hashes while the object lives. Tests write many users, and hashing each at the
// cost of a log-on would take seconds; a hash keeps the cost it was made with, so a table written
// this way verifies as fast in a child process.
class CheapPasswordHashes {
public:
    CheapPasswordHashes();
    ~CheapPasswordHashes();
    CheapPasswordHashes(const CheapPasswordHashes&) = delete;
    CheapPasswordHashes& operator=(const CheapPasswordHashes&) = delete;
};

// A loopback TCP port that nobody listens on now, for a server whose address a test must write
// down before it starts (a Listen that another program reads back from Para.ini).
int FreePort();

// Creates the process-wide centre with channel 0 on `line0` (and channel 1 on `line1` when given)
// at 115200 bps (or the speed index given), mode index 0. Returns Create's result.
int CreateCentre(SimLine* line0, int nodes0, SimLine* line1 = nullptr, int nodes1 = 0,
                 int speedIndex = 3);

} // namespace testsupport
