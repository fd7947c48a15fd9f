// Decodes arbitrary bytes as an lh5 stream twice: in large steps (mostly the
// fast path) up to 32 KB of output, and in tiny, varying steps (mostly the
// careful path) up to 10 KB. What both delivered must be the same bytes, and
// where neither was cut off, the same result.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/lh5_decoder.h"

namespace {

constexpr size_t kOutputCap = 1 << 15;
// The paced run costs a call per few bytes; a short cap keeps the target fast
// and still goes once round the 8 KB window, where copies wrap.
constexpr size_t kPacedOutputCap = 10 * 1024;

struct Outcome {
    int result;
    std::vector<unsigned char> bytes;
};

// outStep/inStep 0: everything at once.
Outcome DecodeAll(const uint8_t* data, size_t size, unsigned outStep, unsigned inStep, size_t cap)
{
    Outcome o;
    LzhDecodeStream s;
    std::memset(&s, 0, sizeof s);
    if (DecoderInit(&s, LZH_WINDOW_BITS, LZH_DECODER_VERSION, sizeof s) != LZH_OK)
        __builtin_trap();
    s.nextIn = data;
    s.compressedLeft = static_cast<uint32_t>(size);
    static unsigned char buffer[kOutputCap];
    const size_t bufferSize = outStep != 0 ? outStep : kOutputCap;
    o.bytes.reserve(cap);
    unsigned turn = 0;
    for (;;) {
        size_t offered = static_cast<size_t>(s.nextIn - data) + s.availIn;
        size_t more = size - offered;
        if (inStep != 0 && more > inStep + turn % 3)
            more = inStep + turn % 3;
        s.availIn += static_cast<uint32_t>(more);
        size_t room = bufferSize - (outStep != 0 ? turn % outStep : 0);
        if (room > cap - o.bytes.size())
            room = cap - o.bytes.size();
        s.nextOut = buffer;
        s.availOut = static_cast<uint32_t>(room);
        int r = Decode(&s, LZH_FINISH);
        o.bytes.insert(o.bytes.end(), buffer, buffer + (room - s.availOut));
        ++turn;
        o.result = r;
        if (o.bytes.size() >= cap) {
            o.result = 100;  // cut off by the cap
            break;
        }
        if (r == LZH_BUF_ERROR && static_cast<size_t>(s.nextIn - data) + s.availIn < size)
            continue;
        if (r != LZH_OK)
            break;
    }
    if (s.totalIn > size || s.totalOut != o.bytes.size())
        __builtin_trap();
    DecoderEnd(&s);
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    unsigned outStep = 1 + data[0] % 37;
    unsigned inStep = 1 + (data[0] >> 5);
    Outcome big = DecodeAll(data + 1, size - 1, 0, 0, kOutputCap);
    Outcome small = DecodeAll(data + 1, size - 1, outStep, inStep, kPacedOutputCap);
    // Where a run was cut at the cap or failed, what it delivered is a prefix
    // of the other's output: a failing call delivers only what the caller's
    // space took, later calls nothing.
    size_t common = big.bytes.size() < small.bytes.size() ? big.bytes.size() : small.bytes.size();
    if (common != 0 && std::memcmp(big.bytes.data(), small.bytes.data(), common) != 0)
        __builtin_trap();
    if (big.result == 100 || small.result == 100)
        return 0;
    if (big.result != small.result)
        __builtin_trap();
    if (big.result != LZH_DATA_ERROR && big.bytes.size() != small.bytes.size())
        __builtin_trap();
    return 0;
}
