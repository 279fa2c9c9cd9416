// The nodes of one line as a pure engine: request bytes in, reply frames out. No port, no thread,
// no clock; the Simulator adds those. Not thread-safe on its own.
#pragma once

#include "Config.h"
#include "NameField.h"
#include "RequestParser.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace nodesim {

using FileTag = std::array<uint8_t, 4>;

constexpr size_t kMaxReplyBody = 2 + kEntriesPerBlock * 16 + 1; // a full list block
constexpr size_t kMaxReplyFrame = kSyncSize + kReplyHeaderSize + kMaxReplyBody;
constexpr size_t kPackageLogSize = 16384; // package numbers kept per node

struct FileInfo {
    std::string name; // the 12-byte name field
    uint32_t length = 0;
    FileTag tag{};
};

struct Reply {
    int node = -1;
    size_t size = 0;
    std::array<uint8_t, kMaxReplyFrame> bytes;
};

struct Statistics {
    std::array<uint64_t, 4> framesByCode{}; // good frames, index code - FRAME_QUERY
    uint64_t badFrames = 0;                 // bad header check, length or payload check
    ParserStatistics parser;                // the breakdown
    uint64_t badContent = 0;    // well-formed frames refused (head or package layout, block > 7)
    uint64_t framesDropped = 0; // node-frame pairs lost to the drop rate
    uint64_t repliesSent = 0;   // replies produced
    uint64_t repliesCorrupted = 0;
    uint64_t repliesDiscarded = 0; // produced but never written (the line stayed blocked)
};

struct NodeStatistics {
    uint64_t dataFramesAddressed = 0; // FRAME_DATA frames whose mask included the node
    uint64_t framesDropped = 0;
    uint64_t repliesSent = 0;
    uint64_t headsAccepted = 0;
    uint64_t packagesAccepted = 0;
    uint64_t filesCompleted = 0;
    uint64_t deletesIgnored = 0;     // through IgnoreNextDeletes
    uint64_t packageLogOverflow = 0; // oldest log entries overwritten
};

FileTag ContentTag(const std::vector<uint8_t>& bytes); // tag for files not sent by a station

class Engine {
public:
    using ReplySink = std::function<void(const Reply&)>;

    explicit Engine(Config config);
    // Starts again as a new engine of `config` would, keeping what it has allocated (fuzzers run
    // one engine per input).
    void Reset(Config config);

    // Loads the preload folder into every node and prepares the store folder. Called once.
    bool Prepare(std::string* error);

    // Raw line bytes in; every reply they cause goes to `sink`, in order.
    void Feed(const uint8_t* data, size_t n, const ReplySink& sink);
    // One request as the parser hands it over (a length that fits its code, a good payload
    // check); true when `reply` was filled.
    bool Handle(const Request& request, Reply* reply);

    const Config& config() const { return config_; }
    int nodeCount() const { return nodeCount_; }
    std::vector<FileInfo> files(int node) const;
    // The same into `out`, whose room is reused (the fuzzers read the files after every reply).
    void files(int node, std::vector<FileInfo>& out) const;
    std::optional<std::vector<uint8_t>> fileBytes(int node, const std::string& nameField) const;
    StorageInfo storage(int node) const;
    // Adds or replaces a file as if a station had sent it; false when it does not fit.
    bool AddFile(int node, const std::string& nameField, std::vector<uint8_t> bytes,
                 const FileTag& tag);
    bool RemoveFile(int node, const std::string& nameField);

    void SetSilent(int node, bool silent);
    bool silent(int node) const;
    void SetDropRate(double rate);
    void SetDropRate(int node, double rate); // negative: back to the common rate
    void SetCorruptRate(double rate);
    void SetLateMs(int ms) { config_.lateMs = ms; }
    void SetLateMs(int node, int ms) { config_.setNodeLateMs(node, ms); } // negative: common
    void IgnoreNextDeletes(int node, int count);

    Statistics stats() const;
    NodeStatistics nodeStats(int node) const;
    // Package numbers each node took into its reception, oldest first; the head is logged as 0.
    std::vector<uint16_t> acceptedPackages(int node) const;
    void ClearPackageLog();

private:
    struct StoredFile {
        NameField name;
        FileTag tag;
        std::vector<uint8_t> data;
    };
    struct Reception {
        enum class State { None, Receiving, Held } state = State::None;
        NameField name{};
        uint32_t length = 0;
        FileTag tag{};
        int packageCount = 0;
        int missing = 0;
        // Bit n: package n is here. Only bits 1..packageCount are ever set, so a new reception
        // clears only the words its predecessor could reach, not the whole table.
        std::array<uint64_t, (kMaxPackages + 63) / 64> have{};
        // Package n's data at (n - 1) * 512, for the largest file a head may announce. Made at the
        // first package and kept for every later reception: only the pages that packages reach
        // are ever touched, and nothing is cleared, since a file is stored only once every
        // package of its length has been written here.
        std::unique_ptr<uint8_t[]> data;
    };
    struct Node {
        std::vector<StoredFile> files;
        Reception rx;
        int ignoreDeletes = 0;
        NodeStatistics stats;
        std::vector<uint16_t> packageLog; // ring of kPackageLogSize once full
        size_t packageLogNext = 0;
    };

    bool ValidNode(int node) const { return node >= 0 && node < nodeCount(); }
    uint64_t ActiveNodes() const { return (uint64_t(1) << nodeCount_) - 1; }
    bool Drops(int node);
    std::mt19937_64& Rng();
    double Uniform();
    // Asked before the Log calls on the path of every frame: most engines never log, and the call
    // with its arguments would still cost each frame.
    bool Logging() const { return static_cast<bool>(config_.log); }
    void LogPackage(Node& node, uint16_t number);
    void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    size_t BuildQueryBody(const Node& node, uint8_t block, uint8_t* body) const;
    size_t BuildCheckReplyBody(int index, const FileTag& tag, uint8_t* body);
    void AcceptHead(int index, const uint8_t* head);
    void AcceptPackage(int index, const uint8_t* package);
    void DeleteNames(int index, const uint8_t* names, int count);
    void Clear(int index);
    static void ClearHave(Reception& rx);

    uint64_t UsedBytes(const Node& node) const;
    uint64_t RoundUp(uint64_t bytes) const;
    int FindFile(const Node& node, const uint8_t* name) const;
    bool Fits(const Node& node, const NameField& name, uint64_t length) const;
    bool TableFull(const Node& node, const NameField& name) const;
    bool TryStore(int index);
    void Store(int index, StoredFile file);
    void EraseAt(int index, size_t position);
    void Recycle(std::vector<uint8_t>& data);
    void Mirror(int index, const StoredFile& file);
    void Unmirror(int index, const NameField& name);
    std::string NodeFolder(int index) const;
    // The store's node folders made and emptied; false with a message when the store holds what
    // the simulator did not write (or a link), unless the configuration says to clear it.
    bool PrepareStore(std::string* error);

    Config config_;
    std::string configError_;
    // Always kMaxNodes, so that a Reset to another node count keeps what each node allocated.
    std::vector<Node> nodes_;
    int nodeCount_ = 1;
    uint64_t touched_ = 0; // bit n: node n changed since the last Reset
    RequestParser parser_;
    Statistics stats_;
    // The room of files let go, for the next files stored (fuzzers store and drop files with every
    // input); at most kMaxEntries of them, so it never holds more than a node could.
    std::vector<std::vector<uint8_t>> spareData_;
    // Seeded at its first draw: most configurations never draw.
    std::mt19937_64 rng_;
    bool rngSeeded_ = false;
};

} // namespace nodesim
