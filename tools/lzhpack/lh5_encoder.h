// lh5 encoder: LZ77 over an 8 KiB window with static Huffman blocks.
//
// Portable; no platform headers. The output is the plain coded stream that
// an "-lh5-" member carries (no header, no trailer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzhpack {

constexpr int kLh5MaxMatch = 256;

struct Lh5EncoderOptions {
    int chainDepth = 256;   // candidates examined per position (hash chain or match tree)
    int passes = 2;         // optimal-parse passes per chunk (1 = estimates only)
    int lazy = -1;          // >= 0: greedy/lazy parse instead (0 greedy, 1 one-step lazy)
    int goodLength = kLh5MaxMatch;  // lazy parse: a match this long is taken without a look ahead
    int splitDepth = 1 << 30;   // how often a run of codes may be split into blocks with their own tables
    int niceLength = kLh5MaxMatch;  // optimal parse: a match this long is taken as it is
};

// The levels of "lzhpack c -1 .. -9", as gzip's: 1 fastest, 9 smallest.
constexpr int kLh5DefaultLevel = 6;
Lh5EncoderOptions LevelOptions(int level);

// Encodes size bytes at data and returns the coded stream.
std::vector<std::uint8_t> EncodeLh5(const std::uint8_t* data, std::size_t size,
                                    const Lh5EncoderOptions& options = {});

// Code lengths of a length-limited (maxLength) Huffman code for freqs. Unused
// symbols get 0; a single used symbol gets length 1. At most 510 symbols.
// Exposed for tests.
std::vector<std::uint8_t> HuffmanLengths(const std::vector<std::uint32_t>& freqs,
                                         int maxLength);

}  // namespace lzhpack
