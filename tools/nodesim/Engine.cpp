#include "Engine.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

#include "platform/PosixFileIo.h"

namespace fs = std::filesystem;

namespace nodesim {

namespace {

uint64_t MaskBits(const uint8_t mask[kMaskSize]) {
    uint64_t bits = 0;
    for (size_t i = 0; i < kMaskSize; ++i)
        bits |= uint64_t(mask[i]) << (8 * i);
    return bits;
}

bool SingleNode(const uint8_t mask[kMaskSize], int* node) {
    const uint64_t bits = MaskBits(mask);
    if (bits == 0 || (bits & (bits - 1)) != 0)
        return false;
    *node = std::countr_zero(bits);
    return true;
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

const char* CodeName(uint8_t code) {
    switch (code) {
    case FRAME_QUERY:
        return "QUERY";
    case FRAME_DATA:
        return "DATA";
    case FRAME_CHECK:
        return "CHECK";
    case FRAME_DELETE:
        return "DELETE";
    default:
        return "?";
    }
}

} // namespace

FileTag ContentTag(const std::vector<uint8_t>& bytes) {
    uint32_t h = 2166136261u; // FNV-1a
    for (uint8_t b : bytes)
        h = (h ^ b) * 16777619u;
    FileTag tag;
    PutLe32(tag.data(), h);
    return tag;
}

Engine::Engine(Config config)
    : config_(std::move(config)), nodes_(kMaxNodes),
      nodeCount_(std::clamp(config_.nodeCount, 1, kMaxNodes)) {
    ValidateConfig(config_, &configError_);
    // Keep the arithmetic defined even for a configuration that Prepare would refuse.
    config_.clusterBytes = std::clamp<uint32_t>(config_.clusterBytes, 1, 65535);
}

void Engine::Reset(Config config) {
    config_ = std::move(config);
    configError_.clear();
    ValidateConfig(config_, &configError_);
    config_.clusterBytes = std::clamp<uint32_t>(config_.clusterBytes, 1, 65535);
    nodeCount_ = std::clamp(config_.nodeCount, 1, kMaxNodes);
    // Only the nodes that changed: an input of a fuzzer reaches a few of the 32.
    for (; touched_ != 0; touched_ &= touched_ - 1) {
        Node& n = nodes_[static_cast<size_t>(std::countr_zero(touched_))];
        for (StoredFile& f : n.files)
            Recycle(f.data);
        n.files.clear();
        n.rx.state = Reception::State::None;
        n.rx.name = {};
        n.rx.length = 0;
        n.rx.tag = {};
        ClearHave(n.rx);
        n.rx.packageCount = 0;
        n.rx.missing = 0;
        n.ignoreDeletes = 0;
        n.stats = {};
        n.packageLog.clear();
        n.packageLogNext = 0;
    }
    parser_.Reset();
    stats_ = {};
    rngSeeded_ = false;
}

void Engine::Log(const char* format, ...) const {
    if (!config_.log)
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    config_.log(line);
}

// --- Setup

std::string Engine::NodeFolder(int index) const {
    char name[16];
    std::snprintf(name, sizeof name, "node-%02d", index);
    return (fs::path(config_.storeDir) / name).string();
}

bool Engine::Prepare(std::string* error) {
    if (!configError_.empty()) {
        *error = configError_;
        return false;
    }
    std::error_code ec;
    if (!config_.storeDir.empty() && !PrepareStore(error))
        return false;
    if (config_.preloadDir.empty())
        return true;

    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(config_.preloadDir, ec))
        if (entry.is_regular_file())
            paths.push_back(entry.path());
    if (ec) {
        *error = "cannot read preload folder " + config_.preloadDir + ": " + ec.message();
        return false;
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, &bytes)) {
            *error = "cannot read " + path.string();
            return false;
        }
        const FileTag tag = ContentTag(bytes);
        const std::string field = FieldToString(MakeNameField(path.filename().string()));
        for (int n = 0; n < nodeCount(); ++n) {
            if (!AddFile(n, field, bytes, tag)) {
                *error = "preloaded file " + path.string() + " does not fit a node";
                return false;
            }
        }
    }
    return true;
}

// A store folder that the simulator made holds this file; only there are the files of its node
// folders taken for the simulator's own.
constexpr const char* kStoreMark = ".talvorn-nodesim-store";

bool Engine::PrepareStore(std::string* error) {
    std::error_code ec;
    const fs::path store = config_.storeDir;
    fs::create_directories(store, ec);
    if (ec || !fs::is_directory(store, ec)) {
        *error = "cannot create " + store.string() + (ec ? ": " + ec.message() : "");
        return false;
    }
    const bool ours = fs::is_regular_file(fs::symlink_status(store / kStoreMark, ec));
    // Everything is checked before anything is removed: a refused store stays as it was.
    for (int n = 0; n < nodeCount() && !config_.clearStore; ++n) {
        const fs::path dir = NodeFolder(n);
        const fs::file_status st = fs::symlink_status(dir, ec);
        if (!fs::exists(st))
            continue;
        if (fs::is_symlink(st) || !fs::is_directory(st)) {
            *error = dir.string() +
                     (fs::is_symlink(st) ? " is a symbolic link" : " is not a folder") +
                     "; --clear-store replaces it";
            return false;
        }
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::file_status est = it->symlink_status(ec);
            std::string why;
            if (fs::is_symlink(est))
                why = " is a symbolic link";
            else if (!fs::is_regular_file(est))
                why = " is not a file";
            else if (!ours)
                why = " was not written by the simulator";
            if (!why.empty()) {
                *error = it->path().string() + why + "; --clear-store empties " + dir.string();
                return false;
            }
        }
        if (ec) {
            *error = "cannot read " + dir.string() + ": " + ec.message();
            return false;
        }
    }
    for (int n = 0; n < nodeCount(); ++n) {
        const fs::path dir = NodeFolder(n);
        const fs::file_status st = fs::symlink_status(dir, ec);
        if (fs::exists(st) && (fs::is_symlink(st) || !fs::is_directory(st)))
            fs::remove(dir, ec); // the link itself, never what it points at
        fs::create_directories(dir, ec);
        if (ec) {
            *error = "cannot create " + dir.string() + ": " + ec.message();
            return false;
        }
        // Left-overs of an earlier run would make the mirror disagree with the node.
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code removed;
            fs::remove_all(it->path(), removed); // links as links
        }
    }
    if (!ours && !std::ofstream(store / kStoreMark)) {
        *error = "cannot write " + (store / kStoreMark).string();
        return false;
    }
    return true;
}

// --- Frames

void Engine::Feed(const uint8_t* data, size_t n, const ReplySink& sink) {
    parser_.Feed(data, n, [&](const Request& request) {
        Reply reply;
        if (Handle(request, &reply))
            sink(reply);
    });
}

std::mt19937_64& Engine::Rng() {
    if (!rngSeeded_) {
        rng_.seed(config_.seed);
        rngSeeded_ = true;
    }
    return rng_;
}

double Engine::Uniform() {
    return static_cast<double>(Rng()() >> 11) * 0x1.0p-53;
}

bool Engine::Drops(int node) {
    const double own = config_.nodeDropRate[node];
    const double rate = own >= 0 ? own : config_.dropRate;
    // No draw at rate 0, so that enabling a fault on one node leaves the others' sequence alone.
    if (rate <= 0 || Uniform() >= rate)
        return false;
    ++nodes_[node].stats.framesDropped;
    ++stats_.framesDropped;
    if (Logging())
        Log("node %02d drops the frame", node);
    return true;
}

bool Engine::Handle(const Request& request, Reply* reply) {
    touched_ |= MaskBits(request.mask) & ActiveNodes();
    if (request.code >= FRAME_QUERY && request.code <= FRAME_DELETE)
        ++stats_.framesByCode[request.code - FRAME_QUERY];
    const uint8_t* p = request.payload;
    if (Logging())
        Log("rx %s mask %02X%02X%02X%02X L %u", CodeName(request.code), request.mask[3],
            request.mask[2], request.mask[1], request.mask[0], request.length);

    // Refuse malformed contents before any node sees them. The check byte of a head or package
    // is the frame's payload check, which the parser has already verified.
    if (request.code == FRAME_DATA) {
        const bool head = request.length == kHeadSize;
        const uint32_t number = GetLe16(p);
        const uint32_t length = head ? GetLe32(p + 14) : 0;
        if ((head && number != 0) || (!head && number == 0) ||
            (head && (length == 0 || length > kMaxSendBytes))) {
            ++stats_.badContent;
            Log("refused: bad %s", head ? "head" : "package");
            return false;
        }
        for (uint64_t bits = MaskBits(request.mask) & ActiveNodes(); bits; bits &= bits - 1)
            ++nodes_[std::countr_zero(bits)].stats.dataFramesAddressed;
    }
    if (request.code == FRAME_QUERY && p[0] > kMaxListBlock) {
        ++stats_.badContent;
        Log("refused: query block %u", p[0]);
        return false;
    }

    if (request.code == FRAME_QUERY || request.code == FRAME_CHECK) {
        int node = -1;
        if (!SingleNode(request.mask, &node) || !ValidNode(node) || silent(node) || Drops(node))
            return false;
        // The body is built where the frame holds it (BuildReplyFrame allows that): no room on
        // the stack and no copy per reply.
        uint8_t* body = reply->bytes.data() + kSyncSize + kReplyHeaderSize;
        const size_t bodySize =
            request.code == FRAME_QUERY
                ? BuildQueryBody(nodes_[node], p[0], body)
                : BuildCheckReplyBody(node, FileTag{p[0], p[1], p[2], p[3]}, body);
        reply->node = node;
        reply->size = BuildReplyFrame(reply->bytes.data(), body, bodySize);
        if (config_.corruptRate > 0 && Uniform() < config_.corruptRate) {
            ++stats_.repliesCorrupted;
            std::mt19937_64& rng = Rng();
            if (rng() & 1) {
                reply->bytes[rng() % reply->size] ^= static_cast<uint8_t>(1 + rng() % 255);
                Log("node %02d reply corrupted", node);
            } else {
                reply->size = 1 + rng() % (reply->size - 1);
                Log("node %02d reply cut to %zu bytes", node, reply->size);
            }
        }
        ++stats_.repliesSent;
        ++nodes_[node].stats.repliesSent;
        if (Logging())
            Log("node %02d replies %zu bytes", node, reply->size);
        return true;
    }

    for (uint64_t bits = MaskBits(request.mask) & ActiveNodes(); bits; bits &= bits - 1) {
        const int n = std::countr_zero(bits);
        if (silent(n) || Drops(n))
            continue;
        if (request.code == FRAME_DATA) {
            if (request.length == kHeadSize)
                AcceptHead(n, p);
            else
                AcceptPackage(n, p);
            continue;
        }
        // FRAME_DELETE
        Node& node = nodes_[n];
        if (node.ignoreDeletes > 0) {
            --node.ignoreDeletes;
            ++node.stats.deletesIgnored;
            Log("node %02d ignores the delete", n);
            continue;
        }
        if (request.length == 0)
            Clear(n);
        else
            DeleteNames(n, p + 1, p[0]);
    }
    return false;
}

size_t Engine::BuildQueryBody(const Node& node, uint8_t block, uint8_t* body) const {
    if (block == 0) {
        StorageInfo info;
        info.totalBytes = config_.capacityBytes;
        info.clusterBytes = static_cast<uint16_t>(config_.clusterBytes);
        info.maxFiles = static_cast<uint16_t>(config_.maxFiles);
        info.fileCount = static_cast<uint16_t>(node.files.size());
        const uint64_t used = UsedBytes(node);
        const uint64_t freeUnits = used < config_.capacityBytes
                                       ? (config_.capacityBytes - used) / config_.clusterBytes
                                       : 0;
        info.freeUnits = static_cast<uint16_t>(std::min<uint64_t>(freeUnits, 0xFFFF));
        return BuildStorageBody(body, info);
    }
    const size_t first = static_cast<size_t>(kEntriesPerBlock) * (block - 1);
    const size_t count = first < node.files.size()
                             ? std::min<size_t>(kEntriesPerBlock, node.files.size() - first)
                             : 0;
    body[0] = block;
    body[1] = static_cast<uint8_t>(count);
    for (size_t j = 0; j < count; ++j) {
        const StoredFile& f = node.files[first + j];
        std::memcpy(body + 2 + 16 * j, f.name.data(), kNameFieldSize);
        PutLe32(body + 14 + 16 * j, static_cast<uint32_t>(f.data.size()));
    }
    return 2 + 16 * count;
}

size_t Engine::BuildCheckReplyBody(int index, const FileTag& tag, uint8_t* body) {
    Node& node = nodes_[index];
    Reception& rx = node.rx;
    uint8_t status = kCheckNeedHead;
    if (rx.state == Reception::State::Receiving && rx.tag == tag) {
        if (TryStore(index)) {
            status = 0;
        } else if (!Fits(node, rx.name, rx.length)) {
            status = kCheckNoRoom;
        } else if (TableFull(node, rx.name)) {
            status = kCheckFileNumExceed;
        } else {
            // Bit i of the bitmap (byte i / 8, bit i % 8) is bit i of `have` inverted, for the
            // packages 1..packageCount: a word at a time.
            uint8_t bitmap[kBitmapSize] = {};
            static_assert(kBitmapSize == 8 * std::tuple_size_v<decltype(rx.have)>);
            const uint32_t last = static_cast<uint32_t>(rx.packageCount);
            for (uint32_t w = 0; 64 * w <= last; ++w) {
                uint64_t want = ~uint64_t(0);
                if (w == 0)
                    want &= ~uint64_t(1); // the head
                if (last - 64 * w < 63)
                    want &= (uint64_t(1) << (last - 64 * w + 1)) - 1;
                const uint64_t missing = ~rx.have[w] & want;
                PutLe32(bitmap + 8 * w, static_cast<uint32_t>(missing));
                PutLe32(bitmap + 8 * w + 4, static_cast<uint32_t>(missing >> 32));
            }
            if (Logging())
                Log("node %02d check: %d packages missing", index, rx.missing);
            return BuildCheckBody(body, kCheckNeedPackages, bitmap);
        }
    } else {
        // The most recent reception held, or any file stored under this tag.
        for (const StoredFile& f : node.files)
            if (f.tag == tag)
                status = 0;
    }
    if (Logging())
        Log("node %02d check: status %02X", index, status);
    return BuildCheckBody(body, status, nullptr);
}

void Engine::LogPackage(Node& node, uint16_t number) {
    if (node.packageLog.size() < kPackageLogSize) {
        node.packageLog.push_back(number);
        return;
    }
    node.packageLog[node.packageLogNext] = number;
    node.packageLogNext = (node.packageLogNext + 1) % kPackageLogSize;
    ++node.stats.packageLogOverflow;
}

// The words that packages 1..packageCount of the current reception may have set.
void Engine::ClearHave(Reception& rx) {
    std::fill_n(rx.have.begin(), static_cast<size_t>(rx.packageCount) / 64 + 1, uint64_t(0));
}

void Engine::AcceptHead(int index, const uint8_t* head) {
    Node& node = nodes_[index];
    Reception& rx = node.rx;
    std::memcpy(rx.name.data(), head + 2, kNameFieldSize);
    rx.length = GetLe32(head + 14);
    std::memcpy(rx.tag.data(), head + 18, 4);
    ClearHave(rx);
    rx.packageCount = static_cast<int>((rx.length + kPackageDataSize - 1) / kPackageDataSize);
    ++node.stats.headsAccepted;
    LogPackage(node, 0);

    const int held = FindFile(node, rx.name.data());
    if (held >= 0 && node.files[held].tag == rx.tag && node.files[held].data.size() == rx.length) {
        rx.state = Reception::State::Held;
        rx.missing = 0;
        if (Logging())
            Log("node %02d head %s: already held", index, PrintableName(rx.name.data()).c_str());
        return;
    }
    rx.state = Reception::State::Receiving;
    rx.missing = rx.packageCount;
    if (Logging())
        Log("node %02d head %s, %u bytes, %d packages", index,
            PrintableName(rx.name.data()).c_str(), rx.length, rx.packageCount);
}

void Engine::AcceptPackage(int index, const uint8_t* package) {
    Node& node = nodes_[index];
    Reception& rx = node.rx;
    const int number = static_cast<int>(GetLe16(package));
    if (rx.state != Reception::State::Receiving || number > rx.packageCount)
        return;
    if (!rx.data)
        rx.data = std::make_unique_for_overwrite<uint8_t[]>(kMaxSendBytes);
    std::memcpy(rx.data.get() + (number - 1) * kPackageDataSize, package + 2, kPackageDataSize);
    uint64_t& word = rx.have[static_cast<size_t>(number) / 64];
    const uint64_t bit = uint64_t(1) << (number % 64);
    if (!(word & bit)) {
        word |= bit;
        --rx.missing;
    }
    ++node.stats.packagesAccepted;
    LogPackage(node, static_cast<uint16_t>(number));
    if (rx.missing == 0)
        TryStore(index);
}

void Engine::DeleteNames(int index, const uint8_t* names, int count) {
    Node& node = nodes_[index];
    for (int i = 0; i < count; ++i) {
        const uint8_t* name = names + kNameFieldSize * i;
        const int at = FindFile(node, name);
        if (Logging())
            Log("node %02d delete %s: %s", index, PrintableName(name).c_str(),
                at >= 0 ? "removed" : "not held");
        if (at >= 0)
            EraseAt(index, static_cast<size_t>(at));
    }
}

void Engine::Clear(int index) {
    Node& node = nodes_[index];
    Log("node %02d clear: %zu files removed", index, node.files.size());
    while (!node.files.empty())
        EraseAt(index, node.files.size() - 1);
}

// --- Storage

uint64_t Engine::RoundUp(uint64_t bytes) const {
    const uint64_t c = config_.clusterBytes;
    return (bytes + c - 1) / c * c;
}

uint64_t Engine::UsedBytes(const Node& node) const {
    uint64_t used = 0;
    for (const StoredFile& f : node.files)
        used += RoundUp(f.data.size());
    return used;
}

int Engine::FindFile(const Node& node, const uint8_t* name) const {
    for (size_t i = 0; i < node.files.size(); ++i)
        if (SameName(node.files[i].name.data(), name))
            return static_cast<int>(i);
    return -1;
}

bool Engine::Fits(const Node& node, const NameField& name, uint64_t length) const {
    uint64_t room =
        config_.capacityBytes - std::min<uint64_t>(UsedBytes(node), config_.capacityBytes);
    const int same = FindFile(node, name.data());
    if (same >= 0)
        room += RoundUp(node.files[same].data.size());
    return RoundUp(length) <= room;
}

bool Engine::TableFull(const Node& node, const NameField& name) const {
    return node.files.size() >= static_cast<size_t>(config_.maxFiles) &&
           FindFile(node, name.data()) < 0;
}

bool Engine::TryStore(int index) {
    Node& node = nodes_[index];
    Reception& rx = node.rx;
    if (rx.state != Reception::State::Receiving || rx.missing != 0 ||
        !Fits(node, rx.name, rx.length) || TableFull(node, rx.name))
        return false;
    StoredFile file;
    file.name = rx.name;
    file.tag = rx.tag;
    if (!spareData_.empty()) {
        file.data.swap(spareData_.back());
        spareData_.pop_back();
    }
    // The padding of the last package is not part of the file.
    file.data.assign(rx.data.get(), rx.data.get() + rx.length);
    rx.state = Reception::State::Held;
    ++node.stats.filesCompleted;
    if (Logging())
        Log("node %02d stored %s, %u bytes", index, PrintableName(rx.name.data()).c_str(),
            rx.length);
    Store(index, std::move(file));
    return true;
}

void Engine::Store(int index, StoredFile file) {
    Node& node = nodes_[index];
    Mirror(index, file);
    const int same = FindFile(node, file.name.data());
    if (same >= 0) {
        Recycle(node.files[same].data);
        node.files[same] = std::move(file);
    } else {
        node.files.push_back(std::move(file));
    }
}

void Engine::EraseAt(int index, size_t position) {
    Node& node = nodes_[index];
    Unmirror(index, node.files[position].name);
    Recycle(node.files[position].data);
    node.files.erase(node.files.begin() + static_cast<std::ptrdiff_t>(position));
}

void Engine::Recycle(std::vector<uint8_t>& data) {
    if (spareData_.size() >= static_cast<size_t>(kMaxEntries) || data.capacity() == 0)
        return; // let go with its file
    data.clear();
    spareData_.push_back(std::move(data));
}

void Engine::Mirror(int index, const StoredFile& file) {
    if (config_.storeDir.empty())
        return;
    // Written aside and renamed, so a reader never sees half a file. The file aside is made
    // new: whatever has its name (a leftover, a link planted there) is never written through.
    const fs::path target = fs::path(NodeFolder(index)) / MirrorFileName(file.name);
    const fs::path temp = target.string() + ".part";
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && WriteAllToFd(fd, file.data.data(), file.data.size());
    if (fd >= 0 && (::close(fd) != 0 || !written)) {
        ::unlink(temp.c_str());
        Log("node %02d cannot write %s", index, temp.c_str());
        return;
    }
    if (fd < 0) {
        Log("node %02d cannot write %s", index, temp.c_str());
        return;
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec)
        Log("node %02d cannot write %s: %s", index, target.c_str(), ec.message().c_str());
}

void Engine::Unmirror(int index, const NameField& name) {
    if (config_.storeDir.empty())
        return;
    std::error_code ec;
    fs::remove(fs::path(NodeFolder(index)) / MirrorFileName(name), ec);
}

// --- Inspection and control

std::vector<FileInfo> Engine::files(int node) const {
    std::vector<FileInfo> out;
    files(node, out);
    return out;
}

void Engine::files(int node, std::vector<FileInfo>& out) const {
    const size_t count = ValidNode(node) ? nodes_[node].files.size() : 0;
    out.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const StoredFile& f = nodes_[node].files[i];
        // 12 bytes: the string keeps them in place, without an allocation.
        out[i].name.assign(reinterpret_cast<const char*>(f.name.data()), f.name.size());
        out[i].length = static_cast<uint32_t>(f.data.size());
        out[i].tag = f.tag;
    }
}

std::optional<std::vector<uint8_t>> Engine::fileBytes(int node,
                                                      const std::string& nameField) const {
    if (!ValidNode(node))
        return std::nullopt;
    const NameField name = FieldFromString(nameField);
    const int at = FindFile(nodes_[node], name.data());
    if (at < 0)
        return std::nullopt;
    return nodes_[node].files[at].data;
}

StorageInfo Engine::storage(int node) const {
    StorageInfo info;
    if (!ValidNode(node))
        return info;
    uint8_t body[kStorageBodySize];
    BuildQueryBody(nodes_[node], 0, body);
    body[kStorageBodySize - 1] = 0;
    DecodeStorageInfo(body, kStorageBodySize, info);
    return info;
}

bool Engine::AddFile(int node, const std::string& nameField, std::vector<uint8_t> bytes,
                     const FileTag& tag) {
    if (!ValidNode(node) || bytes.size() > 0xFFFFFFFFu)
        return false;
    StoredFile file;
    file.name = FieldFromString(nameField);
    file.tag = tag;
    file.data = std::move(bytes);
    if (!Fits(nodes_[node], file.name, file.data.size()) || TableFull(nodes_[node], file.name))
        return false;
    touched_ |= uint64_t(1) << node;
    Store(node, std::move(file));
    return true;
}

bool Engine::RemoveFile(int node, const std::string& nameField) {
    if (!ValidNode(node))
        return false;
    const NameField name = FieldFromString(nameField);
    const int at = FindFile(nodes_[node], name.data());
    if (at < 0)
        return false;
    touched_ |= uint64_t(1) << node;
    EraseAt(node, static_cast<size_t>(at));
    return true;
}

void Engine::SetSilent(int node, bool silent) {
    config_.setSilent(node, silent);
}

bool Engine::silent(int node) const {
    return node >= 0 && node < kMaxNodes && ((config_.silentNodes >> node) & 1u);
}

void Engine::SetDropRate(double rate) {
    config_.dropRate = rate;
}

void Engine::SetDropRate(int node, double rate) {
    config_.setNodeDropRate(node, rate);
}

void Engine::SetCorruptRate(double rate) {
    config_.corruptRate = rate;
}

void Engine::IgnoreNextDeletes(int node, int count) {
    if (ValidNode(node)) {
        touched_ |= uint64_t(1) << node;
        nodes_[node].ignoreDeletes = std::max(count, 0);
    }
}

Statistics Engine::stats() const {
    Statistics s = stats_;
    s.parser = parser_.stats();
    s.badFrames = s.parser.badHeaderCheck + s.parser.badLength + s.parser.badPayloadCheck;
    return s;
}

NodeStatistics Engine::nodeStats(int node) const {
    return ValidNode(node) ? nodes_[node].stats : NodeStatistics{};
}

std::vector<uint16_t> Engine::acceptedPackages(int node) const {
    if (!ValidNode(node))
        return {};
    const Node& n = nodes_[node];
    std::vector<uint16_t> out(n.packageLog.begin() + static_cast<std::ptrdiff_t>(n.packageLogNext),
                              n.packageLog.end());
    out.insert(out.end(), n.packageLog.begin(),
               n.packageLog.begin() + static_cast<std::ptrdiff_t>(n.packageLogNext));
    return out;
}

void Engine::ClearPackageLog() {
    for (Node& n : nodes_) {
        n.packageLog.clear();
        n.packageLogNext = 0;
    }
}

} // namespace nodesim
