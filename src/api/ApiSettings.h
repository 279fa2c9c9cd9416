// Whether and where the station serves its HTTP API: section "API" of Para.ini in the working
// folder.
//
//   [API]
//   Listen=127.0.0.1:8470   ; HOST:PORT; absent or empty: no server
//   AllowRemote=1           ; needed for an address other than loopback
//
// Without AllowRemote=1 the server listens on a loopback address only: other hosts reach it
// through a TLS reverse proxy on the station's host (README).
#pragma once

#include <string>

struct ApiSettings {
    std::string listen; // "HOST:PORT" as written; empty: no server
    bool allowRemote = false;
};

// Reads section "API" of Params()' Para.ini.
ApiSettings LoadApiSettings();

// Splits "HOST:PORT" ("127.0.0.1:8470", "[::1]:8470", "localhost:8470"); a port of 0 lets the
// system choose one. False with a message for anything else.
bool ParseListen(const std::string& text, std::string* host, int* port, std::string* error);

// 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackHost(const std::string& host);

// Where a server with these settings listens: false with a message when Listen is malformed, or
// names an address other than loopback without AllowRemote=1. Only call with a Listen set.
bool ListenAddress(const ApiSettings& settings, std::string* host, int* port, std::string* error);

// The URL talvorn-cli's --station takes for a server on `host` and `port`: "http://HOST:PORT",
// with an IPv6 address in brackets. A server on every address ("0.0.0.0", "::") is reached on
// loopback.
std::string StationUrl(const std::string& host, int port);
