#include "TestSupport.h"

#include "link/CommCenter.h"
#include "platform/KeyStore.h"
#include "users/PasswordHash.h"
#include "users/UserStore.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

bool StoredPasswordIs(int record, const std::string& password) {
    std::vector<uint8_t> bytes;
    if (KeyStore::getValue(kUserKey, userValueName(record), bytes) != KeyRead::kOk)
        return false;
    if (bytes.size() == kUserRecordSize) {
        UserRecord r;
        std::memcpy(&r, bytes.data(), sizeof r);
        return isWellFormed(r) && userPassword(r) == password;
    }
    if (bytes.size() != kUserRecordSize + kPasswordHashSize)
        return false;
    char hash[kPasswordHashSize];
    std::memcpy(hash, bytes.data() + kUserRecordSize, sizeof hash);
    return PasswordMatches(hash, password);
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

CheapPasswordHashes::CheapPasswordHashes() {
    SetPasswordHashCost({1, 8192});
}

CheapPasswordHashes::~CheapPasswordHashes() {
    SetPasswordHashCost(InteractivePasswordHashCost());
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "talvorn-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<uint8_t> DesignBytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(gen());
    // A few sync patterns inside the data, as real files may hold them.
    for (size_t at = 100; at + 6 < size; at += 4099) {
        const uint8_t sync[6] = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90};
        std::copy(sync, sync + 6, out.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

SimLine::SimLine(nodesim::Config config)
    : link_(dir_ / "line"), sim_(std::make_unique<nodesim::Simulator>(std::move(config))) {}

SimLine::~SimLine() {
    sim_->Stop();
}

bool SimLine::Start(std::string* error) {
    return sim_->Start(link_, error);
}

int CreateCentre(SimLine* line0, int nodes0, SimLine* line1, int nodes1, int speedIndex) {
    std::string names[2] = {line0 ? line0->link() : "", line1 ? line1->link() : ""};
    int counts[2] = {nodes0, nodes1};
    int speeds[2] = {speedIndex, speedIndex};
    int modes[2] = {0, 0};
    return CCommCenter::Create(names, counts, speeds, modes);
}

} // namespace testsupport
