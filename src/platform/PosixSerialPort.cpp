#include "platform/SerialPort.h"

#include <cerrno>
#include <fcntl.h>
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

// Runs a read or write again when a signal cut it short; "nothing now" counts as 0 bytes.
template <class Io> long Retried(Io io) {
    for (;;) {
        const ssize_t n = io();
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
}

class PosixSerialPort final : public SerialPort {
public:
    ~PosixSerialPort() override { Close(); }

    bool Open(const std::string& device) override {
        Close();
        if (device.empty())
            return false;
        // Non-blocking only for the open itself, so a line without carrier cannot hang it.
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
        // A Windows COM port is a raw byte pipe; a tty is not until told so.
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | PARMRK);
        ::tcsetattr(fd, TCSANOW, &t);
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        fd_ = fd;
        return true;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    bool GetSettings(LineSettings& out) override {
        termios t{};
        if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
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
        termios t{};
        if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
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
        // TCSADRAIN: bytes already written leave with the parity they were written under.
        return ::tcsetattr(fd_, TCSADRAIN, &t) == 0;
    }

    bool SetReadReturnsAtOnce() override {
        termios t{};
        if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0)
            return false;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        return ::tcsetattr(fd_, TCSANOW, &t) == 0;
    }

    bool WaitTransmitEmpty() override {
        if (fd_ < 0)
            return false;
        while (::tcdrain(fd_) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }

    long Read(uint8_t* dst, size_t maxCount) override {
        if (fd_ < 0)
            return -1;
        if (maxCount == 0)
            return 0;
        return Retried([&] { return ::read(fd_, dst, maxCount); });
    }

    long Write(const uint8_t* src, size_t count) override {
        if (fd_ < 0)
            return -1;
        return Retried([&] { return ::write(fd_, src, count); });
    }

    void Close() override {
        if (fd_ >= 0) {
            // Exclusive mode outlives close() while another holder keeps the tty open (the
            // simulator's side of a pty): hand it back so the port can be opened again.
            ::ioctl(fd_, TIOCNXCL);
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

} // namespace

std::unique_ptr<SerialPort> CreatePosixSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

uint32_t BaudOfSpeedIndex(int speedIndex) {
    switch (speedIndex) {
    case 0:
        return 19200;
    case 2:
        return 57600;
    case 3:
        return 115200;
    default:
        return 38400;
    }
}
