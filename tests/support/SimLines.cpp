#include "SimLines.h"

#include "link/CommCenter.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

SimLine::SimLine(nodesim::Config config)
    : link_(dir_ / "line"), sim_(std::make_unique<nodesim::Simulator>(std::move(config))) {}

SimLine::~SimLine() {
    sim_->Stop();
}

bool SimLine::Start(std::string* error) {
    return sim_->Start(link_, error);
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

int CreateCentre(SimLine* line0, int nodes0, SimLine* line1, int nodes1, int speedIndex) {
    std::string names[2] = {line0 ? line0->link() : "", line1 ? line1->link() : ""};
    int counts[2] = {nodes0, nodes1};
    int speeds[2] = {speedIndex, speedIndex};
    int modes[2] = {0, 0};
    return CCommCenter::Create(names, counts, speeds, modes);
}

} // namespace testsupport
