// How the user table keeps a password: never in clear, but as libsodium's crypto_pwhash string
// (Argon2id with a random salt; the string carries the algorithm, its costs and the salt, so a
// hash made with other costs still verifies). Hashing is slow and memory-hungry on purpose: it
// takes a guesser as long per guess as it takes a log-on.
#pragma once

#include <cstddef>
#include <string_view>

// Bytes kept for one hash: the zero-terminated string and zero bytes after it
// (crypto_pwhash_STRBYTES).
constexpr size_t kPasswordHashSize = 128;

// What one hash costs: passes over memory and bytes of memory.
struct PasswordHashCost {
    unsigned long long passes;
    size_t memoryBytes;
};
// libsodium's cost for interactive log-ons (2 passes over 64 MiB: about a tenth of a second).
PasswordHashCost InteractivePasswordHashCost();
// The cost of the hashes made from now on. Tests that write many users lower it; a hash keeps
// the cost it was made with.
void SetPasswordHashCost(PasswordHashCost cost);

// Hashes the password into `out` (zero-padded). False when libsodium cannot (out of memory).
bool HashPassword(std::string_view password, char (&out)[kPasswordHashSize]);

// True when `hash` is a well-formed hash (zero-terminated within kPasswordHashSize bytes, of the
// kind HashPassword makes) of `password`. A damaged hash matches nothing.
bool PasswordMatches(const char (&hash)[kPasswordHashSize], std::string_view password);
// True when `hash` is zero-terminated within its bytes and names the algorithm HashPassword uses.
bool WellFormedPasswordHash(const char (&hash)[kPasswordHashSize]);
