// The encoder against the installer's own decoder: every coded stream must
// decode to the input, be consumed exactly, and compress where it can.
#include "lh5_encoder.h"

#include <gtest/gtest.h>

#include "archive/lh5_decoder.h"
#include "sample_data.h"

using lzhpack_test::Bytes;

namespace {

// Decodes a whole member the way the extractor does; false on any error.
bool DecodeAll(const Bytes& coded, std::size_t originalSize, Bytes& out, std::uint32_t& totalIn) {
    LzhDecodeStream s{};
    if (DecoderInit(&s, LZH_WINDOW_BITS, LZH_DECODER_VERSION, sizeof s) != LZH_OK) return false;
    s.nextIn = coded.data();
    s.availIn = s.compressedLeft = static_cast<std::uint32_t>(coded.size());
    out.assign(originalSize + 4096, 0);
    int r;
    do {
        s.nextOut = out.data() + s.totalOut;
        s.availOut = static_cast<std::uint32_t>(out.size() - s.totalOut);
        r = Decode(&s, LZH_FINISH);
    } while (r == LZH_OK && s.availOut > 0);
    out.resize(s.totalOut);
    totalIn = s.totalIn;
    DecoderEnd(&s);
    return r == LZH_STREAM_END;
}

class EncoderRoundTrip : public ::testing::TestWithParam<lzhpack::Lh5EncoderOptions> {};

TEST_P(EncoderRoundTrip, DecodesToTheInput) {
    for (const auto& sample : lzhpack_test::Samples()) {
        SCOPED_TRACE(sample.name);
        Bytes coded = lzhpack::EncodeLh5(sample.data.data(), sample.data.size(), GetParam());
        Bytes decoded;
        std::uint32_t consumed = 0;
        ASSERT_TRUE(DecodeAll(coded, sample.data.size(), decoded, consumed));
        EXPECT_EQ(consumed, coded.size());
        ASSERT_EQ(decoded.size(), sample.data.size());
        EXPECT_TRUE(decoded == sample.data);
    }
}

INSTANTIATE_TEST_SUITE_P(Options, EncoderRoundTrip,
                         ::testing::Values(lzhpack::Lh5EncoderOptions{},
                                           lzhpack::Lh5EncoderOptions{1, 1},
                                           lzhpack::Lh5EncoderOptions{4096, 3},
                                           lzhpack::LevelOptions(1), lzhpack::LevelOptions(3),
                                           lzhpack::LevelOptions(lzhpack::kLh5DefaultLevel),
                                           lzhpack::LevelOptions(7), lzhpack::LevelOptions(9)));

TEST(Encoder, RandomSizesRoundTrip) {
    std::mt19937 rng(77);
    for (int i = 0; i < 40; ++i) {
        std::size_t n = rng() % 70000;
        Bytes data = (i % 3 == 0) ? lzhpack_test::RandomBytes(n, i)
                                  : (i % 3 == 1 ? lzhpack_test::Text(n, i) : lzhpack_test::Binary(n, i));
        // Sprinkle copies from random distances so every position slot occurs.
        for (std::size_t k = 0; n > 9000 && k < 50; ++k) {
            std::size_t dst = 8200 + rng() % (n - 8500), dist = 1 + rng() % 8192, len = 3 + rng() % 290;
            for (std::size_t j = 0; j < len && dst + j < n; ++j) data[dst + j] = data[dst + j - dist];
        }
        Bytes coded = lzhpack::EncodeLh5(data.data(), data.size()), decoded;
        std::uint32_t consumed = 0;
        ASSERT_TRUE(DecodeAll(coded, n, decoded, consumed)) << "size " << n;
        ASSERT_TRUE(decoded == data) << "size " << n;
    }
}

TEST(Encoder, CompressesWhatRepeats) {
    struct Expect {
        Bytes data;
        double maxRatio;
    } cases[] = {
        {lzhpack_test::Text(100000, 1), 0.40},
        {lzhpack_test::Runs(4), 0.01},
        // Four copies of one block and three of another: only the farthest
        // distances can save anything.
        {lzhpack_test::WindowDistance(5), (8192 + 8191 + 2000) / (4 * 8192.0 + 3 * 8191.0)},
        // Random bytes may grow only by block overhead.
        {lzhpack_test::RandomBytes(200000, 3), 1.01},
    };
    for (const auto& c : cases) {
        Bytes coded = lzhpack::EncodeLh5(c.data.data(), c.data.size());
        EXPECT_LE(static_cast<double>(coded.size()) / c.data.size(), c.maxRatio);
    }
}

TEST(Huffman, LengthsAreLimitedAndComplete) {
    std::vector<std::uint32_t> fib(30);
    fib[0] = fib[1] = 1;
    for (std::size_t i = 2; i < fib.size(); ++i) fib[i] = fib[i - 1] + fib[i - 2];
    std::vector<std::uint32_t> flat(510, 7), sparse(510, 0);
    sparse[3] = 1;
    sparse[400] = 1000;
    const struct {
        std::vector<std::uint32_t> freqs;
        int maxLength;
    } cases[] = {{fib, 16}, {fib, 7}, {flat, 16}, {sparse, 16}};
    for (const auto& c : cases) {
        auto lens = lzhpack::HuffmanLengths(c.freqs, c.maxLength);
        double kraft = 0;
        for (std::size_t s = 0; s < lens.size(); ++s) {
            EXPECT_EQ(lens[s] == 0, c.freqs[s] == 0) << "symbol " << s;
            EXPECT_LE(lens[s], c.maxLength);
            if (lens[s]) kraft += 1.0 / (1u << lens[s]);
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0);
    }
    std::vector<std::uint32_t> single(19, 0);
    single[5] = 3;
    auto lens = lzhpack::HuffmanLengths(single, 16);
    EXPECT_EQ(lens[5], 1);
}

}  // namespace
