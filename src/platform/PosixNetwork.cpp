#include "platform/Network.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

void AllowAddressReuse(std::intptr_t socket) {
    int yes = 1;
    (void)::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void ListenWithFullBacklog(std::intptr_t socket) {
    (void)::listen(static_cast<int>(socket), SOMAXCONN);
}

bool IsLoopbackAddress(const std::string& host) {
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
