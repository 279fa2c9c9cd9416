#include "platform/Network.h"

#include <winsock2.h>
#include <ws2tcpip.h>

void AllowAddressReuse(std::intptr_t socket) {
    // Windows' SO_REUSEADDR would let another program take the port from under the server;
    // rebinding after a restart works there without it.
    (void)socket;
}

void ListenWithFullBacklog(std::intptr_t socket) {
    (void)::listen(static_cast<SOCKET>(socket), SOMAXCONN);
}

bool IsLoopbackAddress(const std::string& host) {
    // Winsock may refuse its calls before the process has started it (once; never cleaned up).
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return false;
    IN_ADDR v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    IN6_ADDR v6{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
