// What the transfer benchmarks share: a working folder of their own and synthetic file bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace bench {

// A fresh folder "<name>-XXXXXX" under the system's temporary folder; ends the program when none
// can be made, since a benchmark without one measures nothing.
inline std::string MakeTempDir(const std::string& name) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return tmpl;
}

// Deterministic pseudo-random bytes: the same seed gives the same file in every run.
inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(gen());
    return out;
}

} // namespace bench
