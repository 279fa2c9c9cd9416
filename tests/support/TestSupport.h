// Helpers shared by the test executables: temporary folders, waiting for a condition, test
// data. The simulated lines of the protocol tests are in SimLines.h.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

// Makes a fresh folder "<prefix>-XXXXXXXX" under the system's temporary folder and returns its
// path with forward slashes (also on Windows, as the tests join names with "/"); throws when none
// can be made.
std::string MakeTempFolder(const std::string& prefix);

// Sets or removes an environment variable of this process (and of the children it starts).
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
// Points the per-user settings folder (XDG_CONFIG_HOME, %APPDATA% on Windows) at `folder`.
void SetUserSettingsFolder(const std::string& folder);

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

} // namespace testsupport
