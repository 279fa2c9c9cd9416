#include "api/ApiAuth.h"

#include "api/ApiRequest.h"
#include "platform/FileIo.h"
#include "platform/KeyStore.h"
#include "users/UserStore.h"

#include <sodium.h>

#include <thread>

namespace api {

namespace {

// The user table's file as it stands: a change of content, by this process or another, changes
// its identity (the atomic rewrite makes a new file) or its time.
std::string UserTableStamp() {
    FileInfo st;
    if (StatPath(KeyStore::keyFile(kUserKey), st) != 0)
        return "none";
    return std::to_string(st.volume) + ":" + std::to_string(st.id) + ":" + std::to_string(st.size) +
           ":" + std::to_string(st.mtimeNs);
}

} // namespace

Authenticator::Authenticator()
    : checkUser([](std::string_view name, std::string_view password, uint8_t* isAdmin,
                   uint16_t* rights) { return CheckUser(name, password, isAdmin, rights); }),
      now([] { return Clock::now(); }),
      wait([](Clock::duration d) { std::this_thread::sleep_for(d); }), tableStamp(UserTableStamp) {
    if (sodium_init() < 0)
        std::abort(); // libsodium cannot work without its random source
    randombytes_buf(key_, sizeof key_);
}

std::string Authenticator::Digest(std::string_view header) const {
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(header.data()),
                       header.size(), key_, sizeof key_);
    return std::string(reinterpret_cast<const char*>(out), sizeof out);
}

Authenticator::Clock::duration Authenticator::SlowingFor(const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto it = failures_.find(address);
    if (it == failures_.end())
        return Clock::duration::zero();
    if (now() - it->second.last > kFailuresForgotten) {
        failures_.erase(it);
        return Clock::duration::zero();
    }
    const int beyond = it->second.count - kFailuresBeforeSlowing + 1;
    if (beyond <= 0)
        return Clock::duration::zero();
    return std::min<Clock::duration>(kSlowingStep * beyond, kSlowingLimit);
}

void Authenticator::NoteFailure(const std::string& address) {
    std::lock_guard lock(mutex_);
    if (failures_.size() >= kMaxTrackedAddresses && !failures_.count(address)) {
        // Forget the quietest address rather than grow without bound.
        auto oldest = failures_.begin();
        for (auto it = failures_.begin(); it != failures_.end(); ++it) {
            if (it->second.last < oldest->second.last)
                oldest = it;
        }
        failures_.erase(oldest);
    }
    Failures& f = failures_[address];
    ++f.count;
    f.last = now();
}

Authenticator::Outcome Authenticator::Authenticate(std::string_view authorization,
                                                   const std::string& address) {
    Outcome out;
    std::string name, password;
    if (!ParseBasicAuthorization(authorization, &name, &password))
        return out;
    const std::string key = Digest(authorization);
    const std::string stamp = tableStamp();
    {
        std::lock_guard lock(mutex_);
        const auto it = cache_.find(key);
        if (it != cache_.end()) {
            if (it->second.stamp == stamp && now() < it->second.expires) {
                out.result = Result::Ok;
                out.user = it->second.user;
                return out;
            }
            cache_.erase(it);
        }
    }
    if (const auto slow = SlowingFor(address); slow > Clock::duration::zero())
        wait(slow);
    uint8_t isAdmin = 0;
    uint16_t rights = 0;
    int record;
    {
        std::lock_guard one(verifying_);
        record = checkUser(name, password, &isAdmin, &rights);
    }
    if (record < 1) {
        NoteFailure(address);
        out.result = Result::Refused;
        return out;
    }
    out.result = Result::Ok;
    out.user = ApiUser{name, isAdmin != 0, rights};
    std::lock_guard lock(mutex_);
    failures_.erase(address);
    if (cache_.size() >= kMaxCachedCredentials)
        cache_.clear(); // a few minutes' worth at most; they come back with one hash each
    cache_[key] = Cached{out.user, now() + kCredentialLifetime, stamp};
    return out;
}

} // namespace api
