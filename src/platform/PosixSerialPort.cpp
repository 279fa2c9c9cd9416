#include "platform/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifndef CMSPAR
#define CMSPAR 010000000000
#endif

namespace {

speed_t SpeedOf(uint32_t baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B38400;
    }
}

uint32_t BaudOf(speed_t s) {
    switch (s) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

// Every blocking step is bounded or can be cut short from another thread: the port is
// non-blocking, waits are polls that also watch a wake-up descriptor, and Close() from another
// thread wakes whatever waits and then waits for it to leave before the descriptor goes.
class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead_ = fds[0];
            wakeWrite_ = fds[1];
        }
    }
    ~PosixSerialPort() override {
        Close();
        if (wakeRead_ >= 0)
            ::close(wakeRead_);
        if (wakeWrite_ >= 0)
            ::close(wakeWrite_);
    }

    bool Open(const std::string& device) override {
        Close();
        if (device.empty() || wakeRead_ < 0)
            return false;
        // Non-blocking for good: no read, write or open can hang on a line without carrier.
        int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        // Exclusive: TIOCEXCL keeps other opens out; flock also keeps out a second station
        // process running as root, which TIOCEXCL does not stop.
        if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
            ::close(fd);
            return false;
        }
        termios t{};
        if (::tcgetattr(fd, &t) != 0) {
            ::close(fd);
            return false;
        }
        // A Windows COM port is a raw byte pipe; a tty is not until told so. No flow control:
        // a line whose CTS never comes must not hold a write for ever.
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
        ::tcsetattr(fd, TCSANOW, &t);
        // Drain stale wake-ups of an earlier close.
        char junk[64];
        while (::read(wakeRead_, junk, sizeof junk) > 0) {
        }
        std::lock_guard lock(mutex_);
        fd_ = fd;
        closing_ = false;
        return true;
    }

    bool IsOpen() const override {
        std::lock_guard lock(mutex_);
        return fd_ >= 0 && !closing_;
    }

    bool GetSettings(LineSettings& out) override {
        Use use(*this);
        termios t{};
        if (use.fd < 0 || ::tcgetattr(use.fd, &t) != 0)
            return false;
        out.baud = BaudOf(::cfgetospeed(&t));
        switch (t.c_cflag & CSIZE) {
        case CS5:
            out.dataBits = 5;
            break;
        case CS6:
            out.dataBits = 6;
            break;
        case CS7:
            out.dataBits = 7;
            break;
        default:
            out.dataBits = 8;
            break;
        }
        out.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
        if (!(t.c_cflag & PARENB))
            out.parity = Parity::None;
        else if (t.c_cflag & CMSPAR)
            out.parity = (t.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
        else
            out.parity = Parity::None; // odd/even are not used on these lines
        return true;
    }

    bool SetSettings(const LineSettings& s) override {
        // Bytes already written leave with the parity they were written under: wait for them
        // (bounded), then change the settings at once.
        if (!WaitTransmitEmpty())
            return false;
        Use use(*this);
        termios t{};
        if (use.fd < 0 || ::tcgetattr(use.fd, &t) != 0)
            return false;
        const speed_t sp = SpeedOf(s.baud);
        ::cfsetispeed(&t, sp);
        ::cfsetospeed(&t, sp);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
        t.c_cflag |= s.dataBits == 7 ? CS7 : CS8;
        if (s.stopBits == 2)
            t.c_cflag |= CSTOPB;
        if (s.parity == Parity::Mark)
            t.c_cflag |= PARENB | CMSPAR | PARODD;
        else if (s.parity == Parity::Space)
            t.c_cflag |= PARENB | CMSPAR;
        return ::tcsetattr(use.fd, TCSANOW, &t) == 0;
    }

    bool SetReadReturnsAtOnce() override {
        Use use(*this);
        termios t{};
        if (use.fd < 0 || ::tcgetattr(use.fd, &t) != 0)
            return false;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        return ::tcsetattr(use.fd, TCSANOW, &t) == 0;
    }

    bool WaitTransmitEmpty() override {
        Use use(*this);
        if (use.fd < 0)
            return false;
        // The output queue empties at the line rate; wait for it in short polls that a close
        // cuts short, and give up on a queue that does not move at all.
        int last = -1;
        auto stalledSince = std::chrono::steady_clock::now();
        for (;;) {
            int queued = 0;
            if (::ioctl(use.fd, TIOCOUTQ, &queued) != 0)
                return false;
            if (queued <= 0)
                break;
            const auto now = std::chrono::steady_clock::now();
            if (queued != last) {
                last = queued;
                stalledSince = now;
            } else if (now - stalledSince > kStallLimit) {
                return false;
            }
            if (!Sleep(use.fd, 2))
                return false;
        }
        // The queue is empty; what remains is the transmitter's own shift register.
        while (::tcdrain(use.fd) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }

    long Read(uint8_t* dst, size_t maxCount) override {
        Use use(*this);
        if (use.fd < 0)
            return -1;
        pollfd p{use.fd, POLLIN, 0};
        if (::poll(&p, 1, 0) < 0)
            return errno == EINTR ? 0 : -1;
        if (p.revents & POLLNVAL)
            return -1;
        if (!(p.revents & POLLIN)) {
            // Nothing to read; a hang-up or an error (the device gone) is a failed line.
            return (p.revents & (POLLHUP | POLLERR)) ? -1 : 0;
        }
        if (maxCount == 0)
            return 0;
        for (;;) {
            const ssize_t n = ::read(use.fd, dst, maxCount);
            if (n > 0)
                return static_cast<long>(n);
            if (n == 0)
                return (p.revents & POLLHUP) ? -1 : 0;
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
        }
    }

    long Write(const uint8_t* src, size_t count) override {
        Use use(*this);
        if (use.fd < 0)
            return -1;
        for (;;) {
            const ssize_t n = ::write(use.fd, src, count);
            if (n >= 0)
                return static_cast<long>(n);
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return -1;
            // Full: wait a little for room; 0 tells the caller that nothing went.
            pollfd p[2] = {{use.fd, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
            const int r = ::poll(p, 2, kWritePollMs);
            if (r < 0 && errno != EINTR)
                return -1;
            if (p[1].revents & POLLIN)
                return -1; // closing
            if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                return -1;
            if (!(p[0].revents & POLLOUT))
                return 0;
        }
    }

    void Close() override {
        int fd;
        {
            std::unique_lock lock(mutex_);
            if (fd_ < 0)
                return;
            closing_ = true;
            // Wake whatever waits on the port, then wait for it to leave.
            const char one = 1;
            [[maybe_unused]] ssize_t w = ::write(wakeWrite_, &one, 1);
            left_.wait(lock, [&] { return users_ == 0; });
            fd = fd_;
            fd_ = -1;
        }
        // Exclusive mode outlives close() while another holder keeps the tty open (the
        // simulator's side of a pty): hand it back so the port can be opened again.
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }

private:
    static constexpr auto kStallLimit = std::chrono::seconds(3);
    static constexpr int kWritePollMs = 100;

    // Holds the descriptor for the length of one operation; -1 once a close has begun.
    struct Use {
        explicit Use(PosixSerialPort& p) : port(p) {
            std::lock_guard lock(port.mutex_);
            if (port.fd_ >= 0 && !port.closing_) {
                fd = port.fd_;
                ++port.users_;
            }
        }
        ~Use() {
            if (fd < 0)
                return;
            std::lock_guard lock(port.mutex_);
            if (--port.users_ == 0)
                port.left_.notify_all();
        }
        PosixSerialPort& port;
        int fd = -1;
    };

    // Sleeps `ms` unless a close wakes it; false when closing.
    bool Sleep(int fd, int ms) {
        (void)fd;
        pollfd p{wakeRead_, POLLIN, 0};
        ::poll(&p, 1, ms);
        std::lock_guard lock(mutex_);
        return !closing_;
    }

    mutable std::mutex mutex_;
    std::condition_variable left_;
    int fd_ = -1;
    bool closing_ = false;
    int users_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
};

} // namespace

std::unique_ptr<SerialPort> CreateSystemSerialPort() {
    return std::make_unique<PosixSerialPort>();
}
