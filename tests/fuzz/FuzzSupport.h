// Small helpers shared by the fuzz targets: a reader that turns the fuzzer's bytes into choices
// (running out of input yields zeros, so every input is usable), and a check that stops the run
// with a message, which libFuzzer records as a crash together with the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n  ", __FILE__, __LINE__, #cond);    \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fprintf(stderr, "\n");                                                            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : p_(data), n_(size) {}

    bool empty() const { return n_ == 0; }
    size_t remaining() const { return n_; }

    uint8_t u8() {
        if (n_ == 0)
            return 0;
        --n_;
        return *p_++;
    }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() { return u16() | (static_cast<uint32_t>(u16()) << 16); }

    // Copies up to `count` bytes and pads the rest with zeros; returns the bytes really taken.
    size_t take(uint8_t* dst, size_t count) {
        size_t got = count < n_ ? count : n_;
        // Whole copies: a loop here would be traced compare by compare.
        if (got > 0)
            std::memcpy(dst, p_, got);
        if (count > got)
            std::memset(dst + got, 0, count - got);
        p_ += got;
        n_ -= got;
        return got;
    }
    // The rest of the input, consumed.
    const uint8_t* rest(size_t* size) {
        const uint8_t* r = p_;
        *size = n_;
        p_ += n_;
        n_ = 0;
        return r;
    }

private:
    const uint8_t* p_;
    size_t n_;
};
