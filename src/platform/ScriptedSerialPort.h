// An in-memory serial port for tests. It records every written byte with the parity in force
// when it was written, counts transmit-empty waits, and serves reads from bytes a test queues.
// Failures of single steps can be switched on to exercise the error paths of the link.
#pragma once

#include "platform/SerialPort.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

class ScriptedSerialPort final : public SerialPort {
public:
    struct WrittenByte {
        uint8_t value;
        Parity parity;
        int writeCall; // index of the Write call that carried the byte
    };

    struct Faults {
        bool failOpen = false;
        bool failSetTimeouts = false;
        size_t maxWriteChunk = 0; // >0: each Write takes at most this many bytes
        bool blockWrites = false; // Write blocks until the port is closed (a line nobody reads)
    };

    ScriptedSerialPort() = default;
    explicit ScriptedSerialPort(Faults f) : faults_(f) {}

    bool Open(const std::string& device) override;
    bool IsOpen() const override;
    bool GetSettings(LineSettings& out) override;
    bool SetSettings(const LineSettings& settings) override;
    bool SetReadReturnsAtOnce() override;
    bool WaitTransmitEmpty() override;
    long Read(uint8_t* dst, size_t maxCount) override;
    long Write(const uint8_t* src, size_t count) override;
    void Close() override;

    // Test side.
    void QueueInput(const uint8_t* data, size_t count);
    std::vector<WrittenByte> Written() const;
    void ClearWritten();
    int TransmitEmptyWaits() const;
    LineSettings Settings() const;
    bool ReadReturnsAtOnce() const;
    std::string Device() const;
    // Called after each Write with the bytes it took; lets a test answer a request in place.
    void SetOnWrite(std::function<void(const uint8_t*, size_t)> fn);
    // The device fails (a hang-up, the adapter pulled): reads and writes fail until it is opened
    // again; while `gone`, opening fails too.
    void Fail(bool gone);
    void Restore(); // the device is back: the next Open succeeds
    int Opens() const;
    bool WriteBlocked() const; // a Write is blocked right now

private:
    mutable std::mutex mutex_;
    Faults faults_;
    bool open_ = false;
    bool readAtOnce_ = false;
    std::string device_;
    LineSettings settings_{9600, 8, 1, Parity::None};
    std::vector<WrittenByte> written_;
    std::deque<uint8_t> input_;
    int writeCalls_ = 0;
    int drains_ = 0;
    std::function<void(const uint8_t*, size_t)> onWrite_;
    bool failed_ = false;
    bool gone_ = false;
    int opens_ = 0;
    bool writeBlocked_ = false;
    std::condition_variable closed_;
};
