// Inputs shared by the lzhpack tests: the shapes that stress an lh5 coder.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lzhpack_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

// Words from a small vocabulary with varying line lengths: compressible text.
inline Bytes Text(std::size_t n, unsigned seed) {
    static const char* const kWords[] = {"drawing", "viewer", "the", "of", "setup", "archive", "member",
                                         "window", "static", "Huffman", "block", "and", "\n", "=", "{",
                                         "}", "return", "0x20", "level"};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        std::string w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        b.insert(b.end(), w.begin(), w.end());
        b.push_back(' ');
    }
    b.resize(n);
    return b;
}

// Little-endian records with slowly changing fields, like tables in a binary.
inline Bytes Binary(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b;
    std::uint32_t a = 0x1000;
    while (b.size() < n) {
        a += rng() % 64;
        std::uint32_t rec[4] = {a, a ^ 0xFFFF, static_cast<std::uint32_t>(rng() % 3), 0};
        for (std::uint32_t v : rec)
            for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    b.resize(n);
    return b;
}

// Runs of one byte, from very short to far longer than a match.
inline Bytes Runs(unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(300000, 0);
    for (int len : {1, 2, 3, 4, 255, 256, 257, 258, 1000, 70000}) b.insert(b.end(), len, rng() & 0xFF);
    return b;
}

// A random block repeated at the farthest distance the window allows (and
// one byte nearer), so only maximal-distance matches can compress it.
inline Bytes WindowDistance(unsigned seed) {
    Bytes block = RandomBytes(8192, seed), b;
    for (int i = 0; i < 4; ++i) b.insert(b.end(), block.begin(), block.end());
    Bytes near = RandomBytes(8191, seed + 1);
    for (int i = 0; i < 3; ++i) b.insert(b.end(), near.begin(), near.end());
    return b;
}

inline Bytes Large(unsigned seed) {
    Bytes b = Text(3 << 20, seed), bin = Binary(2 << 20, seed), rnd = RandomBytes(512 << 10, seed);
    b.insert(b.end(), bin.begin(), bin.end());
    b.insert(b.end(), rnd.begin(), rnd.end());
    return b;
}

struct Sample {
    const char* name;
    Bytes data;
};

inline std::vector<Sample> Samples() {
    return {
        {"empty", {}},
        {"one_byte", {0x41}},
        {"text", Text(100000, 1)},
        {"binary", Binary(150000, 2)},
        {"random", RandomBytes(200000, 3)},
        {"runs", Runs(4)},
        {"window_distance", WindowDistance(5)},
        {"large", Large(6)},
    };
}

}  // namespace lzhpack_test
