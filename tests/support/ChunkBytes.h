// Builds plain chunk files by hand, byte by byte, for tests of the loaders: chunks are opened,
// filled with little-endian values and closed, which writes their size.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct ChunkBytes {
    std::vector<uint8_t> v{0};  // the flag byte: plain
    // Starts a chunk; returns where it begins, for close().
    size_t open(uint16_t id)
    {
        const size_t at = v.size();
        v.push_back(uint8_t(id));
        v.push_back(uint8_t(id >> 8));
        for (int i = 0; i < 4; ++i) v.push_back(0);
        return at;
    }
    void close(size_t at)
    {
        const uint32_t size = uint32_t(v.size() - at);
        for (int i = 0; i < 4; ++i) v[at + 2 + i] = uint8_t(size >> (8 * i));
    }
    void i32(int32_t x)
    {
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(uint32_t(x) >> (8 * i)));
    }
    void f32(float f)
    {
        uint32_t x;
        std::memcpy(&x, &f, 4);
        i32(int32_t(x));
    }
    // A zero-terminated string.
    void str(const char* s) { v.insert(v.end(), s, s + std::strlen(s) + 1); }
};
