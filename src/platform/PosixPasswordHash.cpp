#include "platform/PasswordHash.h"

#include <sodium.h>

#include <atomic>
#include <cstring>

static_assert(kPasswordHashSize == crypto_pwhash_STRBYTES, "a hash takes crypto_pwhash_STRBYTES");

namespace {

std::atomic<unsigned long long> gPasses{crypto_pwhash_OPSLIMIT_INTERACTIVE};
std::atomic<size_t> gMemory{crypto_pwhash_MEMLIMIT_INTERACTIVE};

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

PasswordHashCost InteractivePasswordHashCost() {
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

PasswordHashCost CheapestPasswordHashCost() {
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

void SetPasswordHashCost(PasswordHashCost cost) {
    if (cost.passes < crypto_pwhash_OPSLIMIT_MIN)
        cost.passes = crypto_pwhash_OPSLIMIT_MIN;
    if (cost.memoryBytes < crypto_pwhash_MEMLIMIT_MIN)
        cost.memoryBytes = crypto_pwhash_MEMLIMIT_MIN;
    gPasses.store(cost.passes);
    gMemory.store(cost.memoryBytes);
}

bool HashPassword(std::string_view password, char (&out)[kPasswordHashSize]) {
    std::memset(out, 0, sizeof out);
    if (!SodiumReady())
        return false;
    return crypto_pwhash_str_alg(out, password.data(), password.size(), gPasses.load(),
                                 gMemory.load(), crypto_pwhash_ALG_ARGON2ID13) == 0;
}

bool WellFormedPasswordHash(const char (&hash)[kPasswordHashSize]) {
    static constexpr char kPrefix[] = "$argon2id$";
    return std::memchr(hash, 0, kPasswordHashSize) != nullptr &&
           std::strncmp(hash, kPrefix, sizeof kPrefix - 1) == 0;
}

bool PasswordMatches(const char (&hash)[kPasswordHashSize], std::string_view password) {
    if (!WellFormedPasswordHash(hash) || !SodiumReady())
        return false;
    return crypto_pwhash_str_verify(hash, password.data(), password.size()) == 0;
}
