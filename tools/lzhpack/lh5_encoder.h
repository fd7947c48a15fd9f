// lh5 encoder: LZ77 over an 8 KiB window with static Huffman blocks.
//
// Portable; no platform headers. The output is the plain coded stream that
// an "-lh5-" member carries (no header, no trailer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzhpack {

struct Lh5EncoderOptions {
    int chainDepth = 256;   // hash-chain candidates examined per position
    int passes = 2;         // optimal-parse passes per chunk (1 = estimates only)
};

// Encodes size bytes at data and returns the coded stream.
std::vector<std::uint8_t> EncodeLh5(const std::uint8_t* data, std::size_t size,
                                    const Lh5EncoderOptions& options = {});

// Code lengths of a length-limited (maxLength) Huffman code for freqs. Unused
// symbols get 0; a single used symbol gets length 1. Exposed for tests.
std::vector<std::uint8_t> HuffmanLengths(const std::vector<std::uint32_t>& freqs,
                                         int maxLength);

}  // namespace lzhpack
