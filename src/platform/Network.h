// What the HTTP API needs from the system's network layer beyond its library: the steps on a
// listening socket that the library leaves to its caller, and reading a numeric address. A socket
// is the system's handle widened to intptr_t (a descriptor on POSIX, a SOCKET on Windows).
#pragma once

#include <cstdint>
#include <string>

// Lets a restarted server bind its address again while connections of the last one linger.
void AllowAddressReuse(std::intptr_t socket);

// Listens again with the system's largest backlog, so that a burst of clients connecting at once
// is queued instead of dropped.
void ListenWithFullBacklog(std::intptr_t socket);

// True when `host` is a numeric loopback address: 127.0.0.0/8 or ::1 (in any spelling the system
// reads).
bool IsLoopbackAddress(const std::string& host);
