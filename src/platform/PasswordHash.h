// How the user table keeps a password: never in clear, but as a salted, deliberately slow hash in
// a self-describing text (algorithm, costs, salt and result), so that a hash made with other costs
// still verifies. Hashing is slow on purpose: it takes a guesser as long per guess as it takes a
// log-on. One implementation per system:
// - POSIX: libsodium's crypto_pwhash string, Argon2id ("$argon2id$v=19$m=...,t=...,p=1$...");
// - Windows: PBKDF2 with HMAC-SHA-256 from the system's CNG ("$pbkdf2_sha256$i=...$salt$key").
//   Debian's Windows build has no libsodium, and a user table never leaves the PC it was written
//   on, so each system verifies only the hashes it makes itself.
#pragma once

#include <cstddef>
#include <string_view>

// Bytes kept for one hash: the zero-terminated text and zero bytes after it (libsodium's
// crypto_pwhash_STRBYTES; the Windows text fits as well).
constexpr size_t kPasswordHashSize = 128;

// What one hash costs. POSIX: passes over memory and bytes of memory. Windows: `passes` are
// PBKDF2 iterations, `memoryBytes` is not used.
struct PasswordHashCost {
    unsigned long long passes;
    size_t memoryBytes;
};
// The cost for interactive log-ons, about a tenth of a second or more (POSIX: libsodium's
// interactive limits, 2 passes over 64 MiB; Windows: 600000 iterations).
PasswordHashCost InteractivePasswordHashCost();
// The least cost the system's hash accepts: for tests, which write many users.
PasswordHashCost CheapestPasswordHashCost();
// The cost of the hashes made from now on (raised to the cheapest where it is below). Tests that
// write many users lower it; a hash keeps the cost it was made with.
void SetPasswordHashCost(PasswordHashCost cost);

// Hashes the password into `out` (zero-padded). False when the system cannot (out of memory, no
// random source).
bool HashPassword(std::string_view password, char (&out)[kPasswordHashSize]);

// True when `hash` is a well-formed hash (zero-terminated within kPasswordHashSize bytes, of the
// kind HashPassword makes) of `password`. A damaged hash matches nothing; the comparison takes
// the same time wherever the results differ.
bool PasswordMatches(const char (&hash)[kPasswordHashSize], std::string_view password);
// True when `hash` is zero-terminated within its bytes and names the algorithm HashPassword uses.
bool WellFormedPasswordHash(const char (&hash)[kPasswordHashSize]);
