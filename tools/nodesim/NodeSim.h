// The node simulator: the nodes of one serial line, served over a pseudo-terminal so that the
// station's own serial code talks to it. Start and Stop belong to the owner's thread; every
// other member may be called from any thread while the simulator serves.
#pragma once

#include "Config.h"
#include "Engine.h"
#include "NameField.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace nodesim {

class Simulator {
public:
    explicit Simulator(Config config);
    ~Simulator(); // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the preloaded files (first start only), opens a pseudo-terminal, makes `linkPath` a
    // symbolic link to the side the station opens (a stale link is replaced; any other file is
    // refused) and starts serving. False with a message on failure.
    bool Start(const std::string& linkPath, std::string* error);
    // Stops serving, closes the terminal and removes the link. Node contents are kept.
    void Stop();
    bool running() const { return thread_.joinable(); }
    std::string slavePath() const;
    std::string linkPath() const;

    // --- Nodes. A name is the 12-byte name field (see NodeNameField).
    int nodeCount() const;
    std::vector<FileInfo> files(int node) const;
    std::optional<std::vector<uint8_t>> fileBytes(int node, const std::string& nameField) const;
    StorageInfo storage(int node) const;
    bool AddFile(int node, const std::string& nameField, std::vector<uint8_t> bytes);
    bool AddFile(int node, const std::string& nameField, std::vector<uint8_t> bytes,
                 const FileTag& tag);
    bool RemoveFile(int node, const std::string& nameField);

    // --- Faults, changeable while serving.
    void SetSilent(int node, bool silent);
    void SetDropRate(double rate);
    void SetDropRate(int node, double rate); // negative: back to the common rate
    void SetCorruptRate(double rate);
    void SetLateMs(int ms);
    void SetLateMs(int node, int ms); // negative: back to the common delay
    void IgnoreNextDeletes(int node, int count);

    // --- Records.
    Statistics stats() const;
    NodeStatistics nodeStats(int node) const;
    std::vector<uint16_t> acceptedPackages(int node) const;
    void ClearPackageLog();

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        size_t size = 0;
        size_t written = 0;
        std::array<uint8_t, kMaxReplyFrame> bytes;
    };
    static constexpr size_t kQueueSize = 16;

    void Serve();
    void Enqueue(const Reply& reply, Clock::time_point requestEnd);
    void WriteDue(Clock::time_point now);
    Clock::duration LineTime(size_t bytes) const;
    void CloseAll();

    mutable std::mutex mutex_; // guards engine_, the paths and the counters below
    Engine engine_;
    bool prepared_ = false;
    std::string slavePath_;
    std::string linkPath_;
    uint64_t repliesDiscarded_ = 0;

    std::thread thread_;
    std::atomic<bool> run_{false};
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up when the station closes

    // Serving thread only: replies waiting for their time, oldest first.
    std::array<Pending, kQueueSize> queue_;
    size_t queueHead_ = 0;
    size_t queueCount_ = 0;
    Clock::time_point txFreeAt_{};
};

} // namespace nodesim
