#include "platform/SerialPort.h"
#include "platform/Win32Text.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <windows.h>

namespace {

// Every blocking step is bounded or can be cut short from another thread: reads return at once,
// a write gives up after kWriteLimitMs (and reports what went, possibly nothing), waits are
// condition-variable sleeps that a close wakes, and Close() from another thread waits for the
// operation under way to leave before the handle goes.
class Win32SerialPort final : public SerialPort {
public:
    ~Win32SerialPort() override { Close(); }

    bool Open(const std::string& device) override {
        Close();
        if (device.empty())
            return false;
        // No sharing: a COM port has one owner at a time.
        HANDLE h = ::CreateFileW(Utf16(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        // Only a communications device takes a DCB: a file or a pipe is refused here.
        DCB d{};
        d.DCBlength = sizeof d;
        if (!::GetCommState(h, &d)) {
            ::CloseHandle(h);
            return false;
        }
        // A raw byte pipe without flow control: a line whose CTS never comes must not hold a
        // write for ever, and no byte value is special.
        d.fBinary = TRUE;
        d.fOutxCtsFlow = FALSE;
        d.fOutxDsrFlow = FALSE;
        d.fDsrSensitivity = FALSE;
        d.fDtrControl = DTR_CONTROL_ENABLE;
        d.fRtsControl = RTS_CONTROL_ENABLE;
        d.fOutX = FALSE;
        d.fInX = FALSE;
        d.fErrorChar = FALSE;
        d.fNull = FALSE;
        d.fAbortOnError = FALSE;
        ::SetCommState(h, &d);
        if (!applyTimeouts(h)) {
            ::CloseHandle(h);
            return false;
        }
        ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
        std::lock_guard lock(mutex_);
        handle_ = h;
        closing_ = false;
        return true;
    }

    bool IsOpen() const override {
        std::lock_guard lock(mutex_);
        return handle_ != INVALID_HANDLE_VALUE && !closing_;
    }

    bool GetSettings(LineSettings& out) override {
        Use use(*this);
        DCB d{};
        d.DCBlength = sizeof d;
        if (!use.ok() || !::GetCommState(use.h, &d))
            return false;
        out.baud = d.BaudRate;
        out.dataBits = d.ByteSize;
        out.stopBits = d.StopBits == TWOSTOPBITS ? 2 : 1;
        switch (d.Parity) {
        case MARKPARITY:
            out.parity = Parity::Mark;
            break;
        case SPACEPARITY:
            out.parity = Parity::Space;
            break;
        default:
            out.parity = Parity::None; // odd/even are not used on these lines
            break;
        }
        return true;
    }

    bool SetSettings(const LineSettings& s) override {
        // Bytes already written leave with the parity they were written under: wait for them
        // (bounded), then change the settings at once.
        if (!WaitTransmitEmpty())
            return false;
        Use use(*this);
        DCB d{};
        d.DCBlength = sizeof d;
        if (!use.ok() || !::GetCommState(use.h, &d))
            return false;
        d.BaudRate = s.baud;
        d.ByteSize = s.dataBits == 7 ? 7 : 8;
        d.StopBits = s.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
        // The ninth bit: mark for a request's sync bytes, space for the rest.
        switch (s.parity) {
        case Parity::Mark:
            d.Parity = MARKPARITY;
            d.fParity = TRUE;
            break;
        case Parity::Space:
            d.Parity = SPACEPARITY;
            d.fParity = TRUE;
            break;
        case Parity::None:
            d.Parity = NOPARITY;
            d.fParity = FALSE;
            break;
        }
        return ::SetCommState(use.h, &d) != 0;
    }

    bool SetReadReturnsAtOnce() override {
        Use use(*this);
        return use.ok() && applyTimeouts(use.h);
    }

    bool WaitTransmitEmpty() override {
        Use use(*this);
        if (!use.ok())
            return false;
        // The output queue empties at the line rate; wait for it in short sleeps that a close
        // cuts short, and give up on a queue that does not move at all.
        DWORD last = MAXDWORD;
        auto stalledSince = std::chrono::steady_clock::now();
        for (;;) {
            DWORD errors = 0;
            COMSTAT status{};
            if (!::ClearCommError(use.h, &errors, &status))
                return false;
            if (status.cbOutQue == 0)
                break;
            const auto now = std::chrono::steady_clock::now();
            if (status.cbOutQue != last) {
                last = status.cbOutQue;
                stalledSince = now;
            } else if (now - stalledSince > kStallLimit) {
                return false;
            }
            if (!Sleep(2))
                return false;
        }
        // The queue is empty; what remains is the transmitter's own shift register.
        return ::FlushFileBuffers(use.h) != 0;
    }

    long Read(uint8_t* dst, size_t maxCount) override {
        Use use(*this);
        if (!use.ok())
            return -1;
        if (maxCount == 0)
            return 0;
        DWORD n = 0;
        const DWORD want = maxCount > 65536 ? 65536 : static_cast<DWORD>(maxCount);
        // A device that is gone (an adapter pulled) fails the read: the line is lost.
        if (!::ReadFile(use.h, dst, want, &n, nullptr)) {
            clearLineErrors(use.h);
            return -1;
        }
        return static_cast<long>(n);
    }

    long Write(const uint8_t* src, size_t count) override {
        Use use(*this);
        if (!use.ok())
            return -1;
        if (count == 0)
            return 0;
        DWORD n = 0;
        const DWORD want = count > 65536 ? 65536 : static_cast<DWORD>(count);
        if (!::WriteFile(use.h, src, want, &n, nullptr)) {
            // A time-out is not an error here: the bytes that went are counted, and 0 tells the
            // caller that nothing went this time.
            if (::GetLastError() == ERROR_TIMEOUT || ::GetLastError() == ERROR_COUNTER_TIMEOUT)
                return static_cast<long>(n);
            clearLineErrors(use.h);
            return -1;
        }
        return static_cast<long>(n);
    }

    void Close() override {
        HANDLE h;
        {
            std::unique_lock lock(mutex_);
            if (handle_ == INVALID_HANDLE_VALUE)
                return;
            closing_ = true;
            // Wake whatever sleeps on the port, then wait for it to leave.
            wake_.notify_all();
            left_.wait(lock, [&] { return users_ == 0; });
            h = handle_;
            handle_ = INVALID_HANDLE_VALUE;
        }
        ::PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT);
        ::CloseHandle(h);
    }

private:
    static constexpr auto kStallLimit = std::chrono::seconds(3);
    static constexpr DWORD kWriteLimitMs = 100;

    // Reads return at once with whatever has arrived; a write returns after kWriteLimitMs with
    // what went by then.
    static bool applyTimeouts(HANDLE h) {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = MAXDWORD;
        t.ReadTotalTimeoutMultiplier = 0;
        t.ReadTotalTimeoutConstant = 0;
        t.WriteTotalTimeoutMultiplier = 0;
        t.WriteTotalTimeoutConstant = kWriteLimitMs;
        return ::SetCommTimeouts(h, &t) != 0;
    }

    // A line error (framing, overrun) halts the port until cleared.
    static void clearLineErrors(HANDLE h) {
        DWORD errors = 0;
        ::ClearCommError(h, &errors, nullptr);
    }

    // Holds the handle for the length of one operation; not ok() once a close has begun.
    struct Use {
        explicit Use(Win32SerialPort& p) : port(p) {
            std::lock_guard lock(port.mutex_);
            if (port.handle_ != INVALID_HANDLE_VALUE && !port.closing_) {
                h = port.handle_;
                ++port.users_;
            }
        }
        ~Use() {
            if (!ok())
                return;
            std::lock_guard lock(port.mutex_);
            if (--port.users_ == 0)
                port.left_.notify_all();
        }
        bool ok() const { return h != INVALID_HANDLE_VALUE; }
        Win32SerialPort& port;
        HANDLE h = INVALID_HANDLE_VALUE;
    };

    // Sleeps `ms` unless a close wakes it; false when closing.
    bool Sleep(int ms) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return closing_; });
        return !closing_;
    }

    mutable std::mutex mutex_;
    std::condition_variable left_;
    std::condition_variable wake_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool closing_ = false;
    int users_ = 0;
};

} // namespace

std::unique_ptr<SerialPort> CreateSystemSerialPort() {
    return std::make_unique<Win32SerialPort>();
}
