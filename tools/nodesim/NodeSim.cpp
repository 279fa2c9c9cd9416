#include "NodeSim.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace nodesim {

namespace {

constexpr auto kPollSlice = std::chrono::milliseconds(10); // how soon Stop is noticed
constexpr auto kBlockedReplyLimit = std::chrono::seconds(2);
// How much line time a late wake-up may make up for while requests keep waiting.
constexpr auto kCatchUpLimit = std::chrono::milliseconds(100);
constexpr uint32_t kBitsPerByte = 11; // start, 8 data, ninth bit, stop

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

Simulator::Simulator(Config config) : engine_(std::move(config)) {}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start(const std::string& linkPath, std::string* error) {
    std::string ignored;
    if (!error)
        error = &ignored;
    if (running()) {
        *error = "already serving " + linkPath_;
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (!prepared_ && !engine_.Prepare(error))
            return false;
        prepared_ = true;
    }

    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        *error = Errno("posix_openpt");
        return false;
    }
    char name[256];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        *error = Errno("pseudo-terminal setup");
        CloseAll();
        return false;
    }
    slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) {
        *error = Errno(std::string("open ") + name);
        CloseAll();
        return false;
    }
    cfmakeraw(&t);
    if (tcsetattr(slave_, TCSANOW, &t) != 0 ||
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        *error = Errno("pseudo-terminal settings");
        CloseAll();
        return false;
    }

    struct stat st;
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = linkPath + " exists and is not a symbolic link";
            CloseAll();
            return false;
        }
        unlink(linkPath.c_str());
    }
    if (symlink(name, linkPath.c_str()) != 0) {
        *error = Errno("symlink " + linkPath);
        CloseAll();
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        slavePath_ = name;
        linkPath_ = linkPath;
    }
    queueHead_ = queueCount_ = 0;
    txFreeAt_ = Clock::now();
    run_ = true;
    thread_ = std::thread(&Simulator::Serve, this);
    return true;
}

void Simulator::Stop() {
    if (!thread_.joinable())
        return;
    run_ = false;
    thread_.join();
    std::lock_guard lock(mutex_);
    // Remove the link only while it is still ours.
    char target[256];
    const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_)
        unlink(linkPath_.c_str());
    CloseAll();
    slavePath_.clear();
    linkPath_.clear();
}

void Simulator::CloseAll() {
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
    slave_ = master_ = -1;
}

Simulator::Clock::duration Simulator::LineTime(size_t bytes) const {
    const uint32_t baud = engine_.config().baud;
    if (baud == 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) * kBitsPerByte / baud));
}

void Simulator::Enqueue(const Reply& reply, Clock::time_point requestEnd) {
    if (queueCount_ == kQueueSize) {
        ++repliesDiscarded_;
        return;
    }
    const auto delay = std::chrono::milliseconds(engine_.config().turnaroundMs +
                                                 engine_.config().lateFor(reply.node));
    // One line: a reply starts after the previous one has left, and arrives whole once its
    // bytes have had their time on the line.
    const auto start = std::max(requestEnd + delay, txFreeAt_);
    Pending& p = queue_[(queueHead_ + queueCount_) % kQueueSize];
    p.due = start + LineTime(reply.size);
    p.size = reply.size;
    p.written = 0;
    std::memcpy(p.bytes.data(), reply.bytes.data(), reply.size);
    txFreeAt_ = p.due;
    ++queueCount_;
}

void Simulator::WriteDue(Clock::time_point now) {
    while (queueCount_ > 0) {
        Pending& p = queue_[queueHead_];
        if (p.due > now)
            return;
        const ssize_t n = write(master_, p.bytes.data() + p.written, p.size - p.written);
        if (n > 0)
            p.written += static_cast<size_t>(n);
        if (p.written < p.size) {
            // Nobody drains the terminal (the station has the port closed): give up in time
            // rather than hold every later reply.
            const bool blocked = n >= 0 || errno == EAGAIN || errno == EINTR;
            if (blocked && now - p.due < kBlockedReplyLimit)
                return;
            std::lock_guard lock(mutex_);
            ++repliesDiscarded_;
        }
        queueHead_ = (queueHead_ + 1) % kQueueSize;
        --queueCount_;
    }
}

void Simulator::Serve() {
    uint8_t buf[1024];
    Clock::time_point rxFreeAt = Clock::now();
    bool rxBacklog = false; // the last read took all it asked for: more bytes were waiting
    size_t chunk = sizeof buf;
    uint32_t baud = 0;
    {
        std::lock_guard lock(mutex_);
        baud = engine_.config().baud;
        // About 10 ms of line time per read, so a request arrives no faster than the line.
        if (baud > 0)
            chunk = std::clamp<size_t>(baud / (kBitsPerByte * 100), 1, sizeof buf);
    }
    while (run_.load(std::memory_order_relaxed)) {
        Clock::time_point now = Clock::now();
        WriteDue(now);

        Clock::duration wait = kPollSlice;
        const bool canRead = now >= rxFreeAt;
        if (!canRead)
            wait = std::min(wait, rxFreeAt - now);
        short events = canRead ? POLLIN : 0;
        if (queueCount_ > 0) {
            const Pending& p = queue_[queueHead_];
            if (p.due <= now)
                events |= POLLOUT;
            else
                wait = std::min(wait, p.due - now);
        }
        pollfd pfd{master_, events, 0};
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
        const int r = poll(&pfd, 1, static_cast<int>(std::max<long long>(ms, 0)));
        if (r <= 0)
            continue;
        if (pfd.revents & POLLIN) {
            // While bytes keep waiting, the line carries them back to back: the next chunk began
            // when the last one ended, however late this thread woke up, so that poll latency and
            // a busy machine do not make the line slower than its rate.
            now = Clock::now();
            Clock::time_point start = now;
            size_t want = chunk;
            if (rxBacklog && baud > 0) {
                start = std::max(rxFreeAt, now - kCatchUpLimit);
                const auto behind = std::chrono::duration<double>(now - start).count();
                want =
                    std::min(sizeof buf, chunk + static_cast<size_t>(behind * baud / kBitsPerByte));
            }
            const ssize_t n = read(master_, buf, want);
            rxBacklog = n > 0 && static_cast<size_t>(n) == want;
            if (n > 0) {
                now = Clock::now();
                std::lock_guard lock(mutex_);
                rxFreeAt = start + LineTime(static_cast<size_t>(n));
                engine_.Feed(buf, static_cast<size_t>(n),
                             [&](const Reply& reply) { Enqueue(reply, now); });
            }
        } else if (pfd.revents & (POLLHUP | POLLERR)) {
            // Cannot happen while we hold the slave open; never spin if it does.
            std::this_thread::sleep_for(kPollSlice);
        }
    }
}

std::string Simulator::slavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

std::string Simulator::linkPath() const {
    std::lock_guard lock(mutex_);
    return linkPath_;
}

int Simulator::nodeCount() const {
    std::lock_guard lock(mutex_);
    return engine_.nodeCount();
}

std::vector<FileInfo> Simulator::files(int node) const {
    std::lock_guard lock(mutex_);
    return engine_.files(node);
}

std::optional<std::vector<uint8_t>> Simulator::fileBytes(int node,
                                                         const std::string& nameField) const {
    std::lock_guard lock(mutex_);
    return engine_.fileBytes(node, nameField);
}

StorageInfo Simulator::storage(int node) const {
    std::lock_guard lock(mutex_);
    return engine_.storage(node);
}

bool Simulator::AddFile(int node, const std::string& nameField, std::vector<uint8_t> bytes) {
    const FileTag tag = ContentTag(bytes);
    return AddFile(node, nameField, std::move(bytes), tag);
}

bool Simulator::AddFile(int node, const std::string& nameField, std::vector<uint8_t> bytes,
                        const FileTag& tag) {
    std::lock_guard lock(mutex_);
    return engine_.AddFile(node, nameField, std::move(bytes), tag);
}

bool Simulator::RemoveFile(int node, const std::string& nameField) {
    std::lock_guard lock(mutex_);
    return engine_.RemoveFile(node, nameField);
}

void Simulator::SetSilent(int node, bool silent) {
    std::lock_guard lock(mutex_);
    engine_.SetSilent(node, silent);
}

void Simulator::SetDropRate(double rate) {
    std::lock_guard lock(mutex_);
    engine_.SetDropRate(rate);
}

void Simulator::SetDropRate(int node, double rate) {
    std::lock_guard lock(mutex_);
    engine_.SetDropRate(node, rate);
}

void Simulator::SetCorruptRate(double rate) {
    std::lock_guard lock(mutex_);
    engine_.SetCorruptRate(rate);
}

void Simulator::SetLateMs(int ms) {
    std::lock_guard lock(mutex_);
    engine_.SetLateMs(ms);
}

void Simulator::SetLateMs(int node, int ms) {
    std::lock_guard lock(mutex_);
    engine_.SetLateMs(node, ms);
}

void Simulator::IgnoreNextDeletes(int node, int count) {
    std::lock_guard lock(mutex_);
    engine_.IgnoreNextDeletes(node, count);
}

Statistics Simulator::stats() const {
    std::lock_guard lock(mutex_);
    Statistics s = engine_.stats();
    s.repliesDiscarded = repliesDiscarded_;
    return s;
}

NodeStatistics Simulator::nodeStats(int node) const {
    std::lock_guard lock(mutex_);
    return engine_.nodeStats(node);
}

std::vector<uint16_t> Simulator::acceptedPackages(int node) const {
    std::lock_guard lock(mutex_);
    return engine_.acceptedPackages(node);
}

void Simulator::ClearPackageLog() {
    std::lock_guard lock(mutex_);
    engine_.ClearPackageLog();
}

} // namespace nodesim
