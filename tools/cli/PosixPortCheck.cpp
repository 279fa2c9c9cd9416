#include "PortCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

std::string DescribePortFailure(const std::string& device) {
    if (device.empty())
        return "not a port name (COM1 to COM9, or a device path beginning with /)";
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return "the device does not exist";
        return std::strerror(errno);
    }
    if (!S_ISCHR(st.st_mode))
        return "not a terminal";
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == EBUSY)
            return kPortBusyText;
        if (e == EACCES || e == EPERM)
            return "permission denied";
        return std::strerror(e);
    }
    std::string reason;
    if (!::isatty(fd))
        reason = "not a terminal";
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        reason = kPortBusyText;
    else
        reason = "the device could not be set up as a serial line";
    ::close(fd);
    return reason;
}

} // namespace cli
