// Who is asking: HTTP Basic credentials checked against the station's user table (the names and
// passwords of Log On), with the same rights as the menus.
//
// A password hash is slow on purpose, so a credential once verified is kept for a few minutes,
// keyed by a keyed digest of the whole header (never the password itself), and dropped at once
// when the user table changes. Verifications run one at a time (each takes 64 MiB for a moment).
// After kFailuresBeforeSlowing failed attempts from one address, that address waits longer with
// every further attempt before its credentials are even looked at.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace api {

struct ApiUser {
    std::string name;
    bool isAdmin = false;
    uint16_t rights = 0;
    // The rights check of every guarded command: administrators pass, an operator needs the bit.
    bool Has(uint16_t right) const { return isAdmin || (rights & right) != 0; }
};

constexpr auto kCredentialLifetime = std::chrono::minutes(2);
constexpr int kFailuresBeforeSlowing = 5;
constexpr auto kSlowingStep = std::chrono::seconds(1); // per failure beyond the fifth
constexpr auto kSlowingLimit = std::chrono::seconds(8);
constexpr auto kFailuresForgotten = std::chrono::minutes(15);
constexpr size_t kMaxCachedCredentials = 256;
constexpr size_t kMaxTrackedAddresses = 4096;

class Authenticator {
public:
    using Clock = std::chrono::steady_clock;

    enum class Result {
        Ok,
        Missing, // no Authorization header, or not Basic: 401
        Refused, // wrong name or password, or a table that admits nobody: 401
    };
    struct Outcome {
        Result result = Result::Missing;
        ApiUser user;
    };

    Authenticator();
    Outcome Authenticate(std::string_view authorization, const std::string& address);

    // Seams, for tests: the table lookup (CheckUser), the clock, the wait of a slowed address and
    // what tells one state of the user table from the next (its file's identity and time).
    std::function<int(std::string_view, std::string_view, uint8_t*, uint16_t*)> checkUser;
    std::function<Clock::time_point()> now;
    std::function<void(Clock::duration)> wait;
    std::function<std::string()> tableStamp;

private:
    struct Cached {
        ApiUser user;
        Clock::time_point expires;
        std::string stamp;
    };
    struct Failures {
        int count = 0;
        Clock::time_point last;
    };
    std::string Digest(std::string_view header) const;
    Clock::duration SlowingFor(const std::string& address);
    void NoteFailure(const std::string& address);

    unsigned char key_[32];
    std::mutex mutex_; // cache_ and failures_
    std::map<std::string, Cached> cache_;
    std::map<std::string, Failures> failures_;
    std::mutex verifying_; // one hash at a time
};

} // namespace api
