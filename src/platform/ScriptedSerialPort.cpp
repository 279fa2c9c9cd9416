#include "platform/ScriptedSerialPort.h"

bool ScriptedSerialPort::Open(const std::string& device) {
    std::lock_guard lock(mutex_);
    if (faults_.failOpen || gone_)
        return false;
    open_ = true;
    failed_ = false;
    ++opens_;
    device_ = device;
    return true;
}

bool ScriptedSerialPort::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool ScriptedSerialPort::GetSettings(LineSettings& out) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    out = settings_;
    return true;
}

bool ScriptedSerialPort::SetSettings(const LineSettings& s) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    settings_ = s;
    return true;
}

bool ScriptedSerialPort::SetReadReturnsAtOnce() {
    std::lock_guard lock(mutex_);
    if (!open_ || faults_.failSetTimeouts)
        return false;
    readAtOnce_ = true;
    return true;
}

bool ScriptedSerialPort::WaitTransmitEmpty() {
    std::lock_guard lock(mutex_);
    ++drains_;
    return open_ && !failed_;
}

long ScriptedSerialPort::Read(uint8_t* dst, size_t maxCount) {
    std::lock_guard lock(mutex_);
    if (!open_ || failed_)
        return -1;
    size_t n = 0;
    while (n < maxCount && !input_.empty()) {
        dst[n++] = input_.front();
        input_.pop_front();
    }
    return static_cast<long>(n);
}

long ScriptedSerialPort::Write(const uint8_t* src, size_t count) {
    std::function<void(const uint8_t*, size_t)> hook;
    size_t n = count;
    {
        std::unique_lock lock(mutex_);
        if (faults_.blockWrites && open_) {
            writeBlocked_ = true;
            closed_.wait(lock, [&] { return !open_; });
            writeBlocked_ = false;
        }
        if (!open_ || failed_)
            return -1;
        if (faults_.maxWriteChunk > 0 && n > faults_.maxWriteChunk)
            n = faults_.maxWriteChunk;
        for (size_t i = 0; i < n; ++i)
            written_.push_back({src[i], settings_.parity, writeCalls_});
        ++writeCalls_;
        hook = onWrite_;
    }
    if (hook)
        hook(src, n);
    return static_cast<long>(n);
}

void ScriptedSerialPort::Close() {
    {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    closed_.notify_all();
}

void ScriptedSerialPort::Fail(bool gone) {
    std::lock_guard lock(mutex_);
    failed_ = true;
    gone_ = gone;
}

void ScriptedSerialPort::Restore() {
    std::lock_guard lock(mutex_);
    gone_ = false;
}

int ScriptedSerialPort::Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

bool ScriptedSerialPort::WriteBlocked() const {
    std::lock_guard lock(mutex_);
    return writeBlocked_;
}

void ScriptedSerialPort::QueueInput(const uint8_t* data, size_t count) {
    std::lock_guard lock(mutex_);
    input_.insert(input_.end(), data, data + count);
}

std::vector<ScriptedSerialPort::WrittenByte> ScriptedSerialPort::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void ScriptedSerialPort::ClearWritten() {
    std::lock_guard lock(mutex_);
    written_.clear();
}

int ScriptedSerialPort::TransmitEmptyWaits() const {
    std::lock_guard lock(mutex_);
    return drains_;
}

LineSettings ScriptedSerialPort::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

bool ScriptedSerialPort::ReadReturnsAtOnce() const {
    std::lock_guard lock(mutex_);
    return readAtOnce_;
}

std::string ScriptedSerialPort::Device() const {
    std::lock_guard lock(mutex_);
    return device_;
}

void ScriptedSerialPort::SetOnWrite(std::function<void(const uint8_t*, size_t)> fn) {
    std::lock_guard lock(mutex_);
    onWrite_ = std::move(fn);
}
