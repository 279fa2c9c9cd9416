// The serial port as the link sees it. Implementations: POSIX termios (the real lines and the
// simulator's pseudo-terminals), Win32 COM ports, and a scripted in-memory port for tests. No
// platform types leak through this interface, so another implementation can slot in beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class Parity { None, Mark, Space };

struct LineSettings {
    uint32_t baud = 0;
    int dataBits = 8;
    int stopBits = 1;
    Parity parity = Parity::None;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device for exclusive reading and writing. False when it cannot be had.
    virtual bool Open(const std::string& device) = 0;
    virtual bool IsOpen() const = 0;
    virtual bool GetSettings(LineSettings& out) = 0;
    virtual bool SetSettings(const LineSettings& settings) = 0;
    // Reads return at once with whatever has arrived (possibly nothing).
    virtual bool SetReadReturnsAtOnce() = 0;
    // Blocks until every byte written so far has left the port.
    virtual bool WaitTransmitEmpty() = 0;
    // Bytes read (0 when nothing has arrived), or -1 on error.
    virtual long Read(uint8_t* dst, size_t maxCount) = 0;
    // Bytes written (possibly fewer than asked), or -1 on error.
    virtual long Write(const uint8_t* src, size_t count) = 0;
    virtual void Close() = 0;
};

// The system's serial port: termios on POSIX, the COM port API on Windows.
std::unique_ptr<SerialPort> CreateSystemSerialPort();

// Baud rate of a speed index: 0 19200, 1 38400, 2 57600, 3 115200; anything else 38400.
uint32_t BaudOfSpeedIndex(int speedIndex);
