// lh5 decoder on hand-made streams: block structure, table edge cases,
// every corrupt-data text, the interface results and allocation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/lh5_decoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Writes fields most significant bit first, as the decoder reads them.
class BitWriter {
public:
    BitWriter& Put(unsigned bits, uint32_t value)
    {
        for (int i = static_cast<int>(bits) - 1; i >= 0; --i)
            PutBit((value >> i) & 1);
        return *this;
    }
    BitWriter& Ones(unsigned count)
    {
        for (unsigned i = 0; i < count; ++i)
            PutBit(1);
        return *this;
    }
    // A block whose three tables are single symbols (count fields 0).
    BitWriter& SingleBlock(uint32_t codes, unsigned t, unsigned c, unsigned p)
    {
        return Put(16, codes).Put(5, 0).Put(5, t).Put(9, 0).Put(9, c).Put(4, 0).Put(4, p);
    }
    Bytes bytes() const { return data_; }

private:
    void PutBit(unsigned bit)
    {
        if (used_ % 8 == 0)
            data_.push_back(0);
        if (bit)
            data_.back() |= static_cast<unsigned char>(0x80 >> (used_ % 8));
        ++used_;
    }
    Bytes data_;
    unsigned used_ = 0;
};

struct Result {
    int last;  // last Decode result
    std::string out;
    const char* message;
    uint32_t totalIn;
};

// Decodes all of `in` (compressedLeft = its size) with output room `limit`.
Result DecodeStream(const Bytes& in, uint32_t limit = 100000, uint32_t extraInput = 0,
                    int windowBits = LZH_WINDOW_BITS)
{
    Bytes input = in;
    input.insert(input.end(), extraInput, 0xFF);  // bytes past the member
    LzhDecodeStream s;
    std::memset(&s, 0, sizeof s);
    EXPECT_EQ(DecoderInit(&s, windowBits, LZH_DECODER_VERSION, sizeof s), LZH_OK);
    s.nextIn = input.data();
    s.availIn = static_cast<uint32_t>(input.size());
    s.compressedLeft = static_cast<uint32_t>(in.size());
    std::string out(limit, '\0');
    s.nextOut = reinterpret_cast<unsigned char*>(&out[0]);
    s.availOut = limit;
    Result r;
    for (int i = 0; i < 100; ++i) {
        r.last = Decode(&s, LZH_FINISH);
        if (r.last != LZH_OK)
            break;
    }
    out.resize(limit - s.availOut);
    r.out = out;
    r.message = s.message;
    r.totalIn = s.totalIn;
    EXPECT_EQ(s.totalOut, out.size());
    EXPECT_EQ(DecoderEnd(&s), LZH_OK);
    return r;
}

TEST(Lh5Decoder, BlockStructure)
{
    struct Case {
        const char* what;
        Bytes stream;
        std::string expected;
    } cases[] = {
        {"literals", BitWriter().SingleBlock(5, 0, 'A', 0).bytes(), "AAAAA"},
        {"match at the start reads the window's zeros",
         BitWriter().SingleBlock(1, 0, 256, 3).Put(2, 0).bytes(), std::string(3, '\0')},
        {"length 256 at distance 1",
         BitWriter().SingleBlock(1, 0, 'x', 0).SingleBlock(1, 0, 509, 0).bytes(), std::string(257, 'x')},
        {"empty block, then the next", BitWriter().SingleBlock(0, 0, 'q', 0).SingleBlock(2, 0, 'B', 0).bytes(),
         "BB"},
        {"block count 0 alone", BitWriter().SingleBlock(0, 0, 'q', 0).bytes(), ""},
    };
    for (const Case& c : cases) {
        Result r = DecodeStream(c.stream);
        EXPECT_EQ(r.last, LZH_STREAM_END) << c.what;
        EXPECT_EQ(r.out, c.expected) << c.what;
    }
}

TEST(Lh5Decoder, StaysWithinTheMember)
{
    // Bytes after the member (0xFF here) are never read.
    Bytes member = BitWriter().SingleBlock(2, 0, 'A', 0).bytes();
    Result r = DecodeStream(member, 1000, 50);
    EXPECT_EQ(r.last, LZH_STREAM_END);
    EXPECT_EQ(r.out, "AA");
    EXPECT_EQ(r.totalIn, member.size());

    // Data ending in mid-block continues with zero bits: T and C tables of
    // zero fields give a single symbol 0.
    Bytes cut = BitWriter().Put(16, 4).bytes();
    Result z = DecodeStream(cut, 1000, 20);
    EXPECT_EQ(z.last, LZH_STREAM_END);
    EXPECT_EQ(z.out, std::string(4, '\0'));
    EXPECT_EQ(z.totalIn, 2u);

    // The caller's output limit is honoured.
    Result limited = DecodeStream(BitWriter().SingleBlock(300, 0, 'A', 0).bytes(), 100);
    EXPECT_EQ(limited.out, std::string(100, 'A'));
}

// T table with two one-bit codes for symbols 0 and 3 (3 = C length 1):
// n = 4, lengths 1, 0, 0, skip 0, 1.
BitWriter& TwoSymbolT(BitWriter& w)
{
    return w.Put(5, 4).Put(3, 1).Put(3, 0).Put(3, 0).Put(2, 0).Put(3, 1);
}

TEST(Lh5Decoder, CorruptData)
{
    BitWriter w1, w2, w3, w4, w5, w6, w7, w8, w9, w10, w11, w12, w13, w14, w15;
    struct Case {
        const char* what;
        Bytes stream;
        const char* message;
    } cases[] = {
        {"T count 20", w1.Put(16, 1).Put(5, 20).bytes(), nullptr},
        {"C count 511", w2.Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 511).bytes(), kLzhTooManySymbols},
        {"P count 15", w3.Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 'a').Put(4, 15).bytes(),
         kLzhTooManySymbols},
        {"T length 17", w4.Put(16, 1).Put(5, 1).Put(3, 7).Ones(10).Put(1, 0).bytes(), nullptr},
        {"T oversubscribed", w5.Put(16, 1).Put(5, 3).Put(3, 1).Put(3, 1).Put(3, 1).bytes(), kLzhOversubscribedBits},
        {"T incomplete", w6.Put(16, 1).Put(5, 3).Put(3, 2).Put(3, 2).Put(3, 0).bytes(), kLzhIncompleteBits},
        {"T all zero", w7.Put(16, 1).Put(5, 3).Put(3, 0).Put(3, 0).Put(3, 0).bytes(), kLzhIncompleteBits},
        // T: symbols 0, 1, 2 with lengths 1, 2, 2; C n = 10 starts with a
        // run of 20 + 511 zero lengths.
        {"zero run past n", w8.Put(16, 1).Put(5, 3).Put(3, 1).Put(3, 2).Put(3, 2).Put(9, 10).Put(2, 3).Put(9, 511).bytes(),
         kLzhInvalidRepeat},
        {"C all zero", TwoSymbolT(w9.Put(16, 1)).Put(9, 2).Put(1, 0).Put(1, 0).bytes(), kLzhIncompleteLengths},
        {"C oversubscribed", TwoSymbolT(w10.Put(16, 1)).Put(9, 3).Put(1, 1).Put(1, 1).Put(1, 1).bytes(),
         kLzhOversubscribedLengths},
        // One C code of length 1 is allowed; its unused code '1' is invalid.
        {"unused C code",
         TwoSymbolT(w11.Put(16, 1)).Put(9, 1).Put(1, 1).Put(4, 0).Put(4, 0).Put(1, 1).bytes(),
         kLzhInvalidLengthCode},
        // Single symbols past their tables, even in a block without codes.
        {"C single symbol 510", w12.SingleBlock(0, 0, 510, 0).bytes(), kLzhInvalidLengthCode},
        {"P single symbol 14", w13.SingleBlock(0, 0, 'a', 14).bytes(), kLzhInvalidDistanceCode},
        // P n = 2 with lengths 2, 2: incomplete.
        {"P incomplete", w14.Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 256).Put(4, 2).Put(3, 2).Put(3, 2).bytes(),
         kLzhIncompleteDistances},
        // P n = 3 with lengths all 0: no distance table, even for literals.
        {"P all zero",
         w15.Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 'a').Put(4, 3).Put(3, 0).Put(3, 0).Put(3, 0).bytes(),
         kLzhIncompleteDistances},
    };
    for (const Case& c : cases) {
        Result r = DecodeStream(c.stream);
        EXPECT_EQ(r.last, LZH_DATA_ERROR) << c.what;
        if (c.message == nullptr)
            { EXPECT_EQ(r.message, nullptr) << c.what; }
        else
            EXPECT_STREQ(r.message, c.message) << c.what;
    }
}

// The magnitude of windowBits is the window size: a position symbol p
// reaches up to 2^p back, so symbols above the window's bits are invalid,
// and a small window still delivers long output in order.
TEST(Lh5Decoder, WindowSizeFollowsWindowBits)
{
    // 'x', then a match of length 3 through a single-symbol P table p (p - 1
    // extra bits, all 0): it reaches before the first byte and reads zeros.
    auto farMatch = [](unsigned p) {
        return BitWriter().SingleBlock(1, 0, 'x', 0).SingleBlock(1, 0, 256, p).Put(p - 1, 0).bytes();
    };
    const std::string xZeros = std::string("x") + std::string(3, '\0');
    struct Case {
        int windowBits;
        Bytes stream;
        int result;
        std::string expected;
    } cases[] = {
        {-8, farMatch(8), LZH_STREAM_END, xZeros},
        {-8, farMatch(9), LZH_DATA_ERROR, "x"},
        {-9, farMatch(9), LZH_STREAM_END, xZeros},
        {-12, farMatch(13), LZH_DATA_ERROR, "x"},
        {-13, farMatch(13), LZH_STREAM_END, xZeros},
        {-15, farMatch(13), LZH_STREAM_END, xZeros},
        {-8, BitWriter().SingleBlock(600, 0, 'A', 0).bytes(), LZH_STREAM_END, std::string(600, 'A')},
    };
    for (const Case& c : cases) {
        Result r = DecodeStream(c.stream, 100000, 0, c.windowBits);
        EXPECT_EQ(r.last, c.result) << c.windowBits;
        EXPECT_EQ(r.out, c.expected) << c.windowBits;
        if (c.result == LZH_DATA_ERROR) {
            EXPECT_STREQ(r.message, kLzhInvalidDistanceCode) << c.windowBits;
        }
    }
}

TEST(Lh5Decoder, AcceptedTableShapes)
{
    // A single-symbol T whose symbol is never used.
    Result t = DecodeStream(BitWriter().SingleBlock(1, 31, 'z', 0).bytes());
    EXPECT_EQ(t.last, LZH_STREAM_END);
    EXPECT_EQ(t.out, "z");
}

TEST(Lh5Decoder, FailureStopsTheStream)
{
    // Literals, then a corrupt block: the literals are delivered by the
    // failing call, later calls deliver nothing and keep failing.
    Bytes stream = BitWriter().SingleBlock(3, 0, 'L', 0).Put(16, 1).Put(5, 20).bytes();
    LzhDecodeStream s;
    std::memset(&s, 0, sizeof s);
    ASSERT_EQ(DecoderInit(&s, -13, "1.1.4", sizeof s), LZH_OK);
    s.nextIn = stream.data();
    s.availIn = s.compressedLeft = static_cast<uint32_t>(stream.size());
    unsigned char out[16];
    s.nextOut = out;
    s.availOut = sizeof out;
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_DATA_ERROR);
    EXPECT_EQ(s.totalOut, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "LLL");
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_DATA_ERROR);
    EXPECT_EQ(s.totalOut, 3u);
    EXPECT_EQ(DecoderEnd(&s), LZH_OK);
}

TEST(Lh5Decoder, InterfaceResults)
{
    LzhDecodeStream s;
    std::memset(&s, 0, sizeof s);
    EXPECT_EQ(DecoderInit(&s, -13, "2.0", sizeof s), LZH_VERSION_ERROR);
    EXPECT_EQ(DecoderInit(&s, -13, nullptr, sizeof s), LZH_VERSION_ERROR);
    EXPECT_EQ(DecoderInit(&s, -13, "1.1.4", sizeof s - 1), LZH_VERSION_ERROR);
    EXPECT_EQ(DecoderInit(nullptr, -13, "1.1.4", sizeof s), LZH_STREAM_ERROR);
    for (int bits : {-7, -16, 13, 0})
        EXPECT_EQ(DecoderInit(&s, bits, "1.0", sizeof s), LZH_STREAM_ERROR) << bits;
    EXPECT_EQ(Decode(nullptr, LZH_FINISH), LZH_STREAM_ERROR);
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_STREAM_ERROR);  // no state
    EXPECT_EQ(DecoderEnd(nullptr), LZH_STREAM_ERROR);
    EXPECT_EQ(DecoderEnd(&s), LZH_STREAM_ERROR);

    for (int bits : {-8, -15}) {
        std::memset(&s, 0, sizeof s);
        ASSERT_EQ(DecoderInit(&s, bits, "1.1.4", sizeof s), LZH_OK);
        EXPECT_NE(s.alloc, nullptr);
        EXPECT_NE(s.free, nullptr);
        // No input yet while the member has bytes left: no progress.
        unsigned char out[4];
        s.nextOut = out;
        s.availOut = sizeof out;
        s.compressedLeft = 10;
        EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_BUF_ERROR);
        EXPECT_EQ(DecoderEnd(&s), LZH_OK);
        EXPECT_EQ(s.state, nullptr);
        EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_STREAM_ERROR);
    }

    // Output space 0 while bytes wait: no progress, then progress.
    Bytes stream = BitWriter().SingleBlock(3, 0, 'A', 0).bytes();
    std::memset(&s, 0, sizeof s);
    ASSERT_EQ(DecoderInit(&s, -13, "1.1.4", sizeof s), LZH_OK);
    s.nextIn = stream.data();
    s.availIn = s.compressedLeft = static_cast<uint32_t>(stream.size());
    unsigned char out[8];
    s.nextOut = out;
    s.availOut = 0;
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_OK);  // input taken
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_BUF_ERROR);
    s.availOut = 2;
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_OK);
    s.availOut = 6;
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_STREAM_END);
    EXPECT_EQ(s.totalOut, 3u);
    EXPECT_EQ(Decode(&s, LZH_FINISH), LZH_STREAM_END);
    EXPECT_EQ(DecoderEnd(&s), LZH_OK);
}

struct Allocator {
    int calls = 0;
    int failAt = -1;  // 0-based call that fails
    int live = 0;
};

void* TestAlloc(void* opaque, unsigned int count, unsigned int size)
{
    Allocator* a = static_cast<Allocator*>(opaque);
    if (a->calls++ == a->failAt)
        return nullptr;
    ++a->live;
    void* p = std::malloc(static_cast<size_t>(count) * size);
    std::memset(p, 0xAB, static_cast<size_t>(count) * size);  // not zero-filled
    return p;
}

void TestFree(void* opaque, void* memory)
{
    --static_cast<Allocator*>(opaque)->live;
    std::free(memory);
}

TEST(Lh5Decoder, Allocation)
{
    Bytes stream = BitWriter().SingleBlock(1, 0, 256, 3).Put(2, 0).bytes();  // three zero bytes
    for (int failAt = -1; failAt < 4; ++failAt) {
        SCOPED_TRACE(failAt);
        Allocator a;
        a.failAt = failAt;
        LzhDecodeStream s;
        std::memset(&s, 0, sizeof s);
        s.alloc = TestAlloc;
        s.free = TestFree;
        s.opaque = &a;
        int init = DecoderInit(&s, -13, "1.1.4", sizeof s);
        if (failAt >= 0 && failAt < 3) {
            EXPECT_EQ(init, LZH_MEM_ERROR);
            EXPECT_EQ(a.live, 0);
            continue;
        }
        ASSERT_EQ(init, LZH_OK);
        s.nextIn = stream.data();
        s.availIn = s.compressedLeft = static_cast<uint32_t>(stream.size());
        unsigned char out[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        s.nextOut = out;
        s.availOut = sizeof out;
        int r = Decode(&s, LZH_FINISH);
        if (failAt == 3) {
            EXPECT_EQ(r, LZH_MEM_ERROR);  // the block's length array
        } else {
            EXPECT_EQ(r, LZH_STREAM_END);
            EXPECT_EQ(s.totalOut, 3u);
            EXPECT_EQ(out[0] | out[1] | out[2], 0);  // the window starts zeroed
        }
        EXPECT_EQ(DecoderEnd(&s), LZH_OK);
        EXPECT_EQ(a.live, 0);
    }
}

}  // namespace
