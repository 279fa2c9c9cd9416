#include "platform/PasswordHash.h"

#include <windows.h>

#include <bcrypt.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

// PBKDF2 with HMAC-SHA-256 from CNG, in the text "$pbkdf2_sha256$i=ITERATIONS$SALT$KEY" (salt and
// key in base64 without padding). Debian's Windows build has no libsodium, so this is not the
// POSIX build's Argon2id; a user table never leaves the PC it was written on, so no system needs
// to read the other's hashes.

namespace {

constexpr char kPrefix[] = "$pbkdf2_sha256$i=";
constexpr unsigned long long kInteractiveIterations = 600000;
constexpr unsigned long long kLeastIterations = 1000;
// Beyond any cost this station would choose: a count above it is damage, and would only make a
// log-on hang.
constexpr unsigned long long kMostIterations = 100000000;
constexpr size_t kSaltBytes = 16;
constexpr size_t kKeyBytes = 32;

std::atomic<unsigned long long> gIterations{kInteractiveIterations};

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const uint8_t* data, size_t size) {
    std::string out;
    uint32_t bits = 0;
    int held = 0;
    for (size_t i = 0; i < size; ++i) {
        bits = (bits << 8) | data[i];
        held += 8;
        while (held >= 6) {
            held -= 6;
            out += kAlphabet[(bits >> held) & 0x3F];
        }
    }
    if (held > 0)
        out += kAlphabet[(bits << (6 - held)) & 0x3F];
    return out;
}

// Decodes exactly `size` bytes from `text`, which must be their canonical spelling (no padding,
// no other characters, unused low bits zero).
bool FromBase64(std::string_view text, uint8_t* out, size_t size) {
    if (text.size() != (size * 8 + 5) / 6)
        return false;
    uint32_t bits = 0;
    int held = 0;
    size_t n = 0;
    for (char c : text) {
        const char* at = c != 0 ? std::strchr(kAlphabet, c) : nullptr;
        if (at == nullptr)
            return false;
        bits = (bits << 6) | static_cast<uint32_t>(at - kAlphabet);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out[n++] = static_cast<uint8_t>(bits >> held);
        }
    }
    return n == size && (bits & ((1u << held) - 1)) == 0;
}

bool Derive(std::string_view password, const uint8_t* salt, unsigned long long iterations,
            uint8_t* key) {
    BCRYPT_ALG_HANDLE hmac = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&hmac, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG)))
        return false;
    UCHAR none = 0; // the buffer of an empty password
    auto* bytes =
        password.empty() ? &none : reinterpret_cast<PUCHAR>(const_cast<char*>(password.data()));
    const bool ok = BCRYPT_SUCCESS(
        BCryptDeriveKeyPBKDF2(hmac, bytes, static_cast<ULONG>(password.size()),
                              const_cast<PUCHAR>(salt), kSaltBytes, iterations, key, kKeyBytes, 0));
    BCryptCloseAlgorithmProvider(hmac, 0);
    return ok;
}

struct Parsed {
    unsigned long long iterations = 0;
    uint8_t salt[kSaltBytes] = {};
    uint8_t key[kKeyBytes] = {};
};

// The parts of a hash text, which must be exactly as HashPassword writes them and followed by
// zero bytes alone.
bool Parse(const char (&hash)[kPasswordHashSize], Parsed& out) {
    const char* end = static_cast<const char*>(std::memchr(hash, 0, kPasswordHashSize));
    if (end == nullptr)
        return false;
    for (const char* p = end; p < hash + kPasswordHashSize; ++p)
        if (*p != 0)
            return false;
    std::string_view text(hash, static_cast<size_t>(end - hash));
    if (text.substr(0, sizeof kPrefix - 1) != kPrefix)
        return false;
    text.remove_prefix(sizeof kPrefix - 1);
    size_t digits = 0;
    unsigned long long count = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 10)
        count = count * 10 + static_cast<unsigned>(text[digits++] - '0');
    if (digits == 0 || text[0] == '0' || count < kLeastIterations || count > kMostIterations ||
        digits >= text.size() || text[digits] != '$')
        return false;
    text.remove_prefix(digits + 1);
    const size_t dollar = text.find('$');
    if (dollar == std::string_view::npos)
        return false;
    out.iterations = count;
    return FromBase64(text.substr(0, dollar), out.salt, kSaltBytes) &&
           FromBase64(text.substr(dollar + 1), out.key, kKeyBytes);
}

bool SameBytes(const uint8_t* a, const uint8_t* b, size_t size) {
    // Every byte is compared, whatever the first difference: the time tells a guesser nothing.
    volatile uint8_t differ = 0;
    for (size_t i = 0; i < size; ++i)
        differ = differ | static_cast<uint8_t>(a[i] ^ b[i]);
    return differ == 0;
}

} // namespace

PasswordHashCost InteractivePasswordHashCost() {
    return {kInteractiveIterations, 0};
}

PasswordHashCost CheapestPasswordHashCost() {
    return {kLeastIterations, 0};
}

void SetPasswordHashCost(PasswordHashCost cost) {
    gIterations.store(cost.passes < kLeastIterations  ? kLeastIterations
                      : cost.passes > kMostIterations ? kMostIterations
                                                      : cost.passes);
}

bool HashPassword(std::string_view password, char (&out)[kPasswordHashSize]) {
    std::memset(out, 0, sizeof out);
    uint8_t salt[kSaltBytes];
    uint8_t key[kKeyBytes];
    const unsigned long long iterations = gIterations.load();
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, salt, sizeof salt, BCRYPT_USE_SYSTEM_PREFERRED_RNG)) ||
        !Derive(password, salt, iterations, key))
        return false;
    const std::string text = kPrefix + std::to_string(iterations) + "$" +
                             Base64(salt, sizeof salt) + "$" + Base64(key, sizeof key);
    SecureZeroMemory(key, sizeof key);
    if (text.size() >= sizeof out)
        return false;
    std::memcpy(out, text.data(), text.size());
    return true;
}

bool WellFormedPasswordHash(const char (&hash)[kPasswordHashSize]) {
    return std::memchr(hash, 0, kPasswordHashSize) != nullptr &&
           std::strncmp(hash, kPrefix, sizeof kPrefix - 1) == 0;
}

bool PasswordMatches(const char (&hash)[kPasswordHashSize], std::string_view password) {
    Parsed stored;
    uint8_t key[kKeyBytes];
    if (!Parse(hash, stored) || !Derive(password, stored.salt, stored.iterations, key))
        return false;
    const bool same = SameBytes(key, stored.key, kKeyBytes);
    SecureZeroMemory(key, sizeof key);
    return same;
}
