// Decodes arbitrary bytes as an lh5 stream twice: in one large step (mostly
// the fast path) up to 9 KB of output, and in tiny, varying steps (mostly the
// careful path) up to 3 KB. What both delivered must be the same bytes, and
// where neither was cut off, the same result. Some inputs use a 1 KB window,
// which the short paced run goes round several times.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/lh5_decoder.h"

namespace {

// Past the end of its data a stream goes on with zero bits, in the careful
// path; the caps keep such inputs cheap. The one-step run still goes round
// the 8 KB window.
constexpr size_t kOutputCap = 9 * 1024;
constexpr size_t kPacedOutputCap = 3 * 1024;
constexpr int kSmallWindowBits = -10;

struct Outcome {
    int result;
    std::vector<unsigned char> bytes;
};

// outStep/inStep 0: everything at once.
Outcome DecodeAll(const uint8_t* data, size_t size, int windowBits, unsigned outStep, unsigned inStep, size_t cap)
{
    Outcome o;
    LzhDecodeStream s;
    std::memset(&s, 0, sizeof s);
    if (DecoderInit(&s, windowBits, LZH_DECODER_VERSION, sizeof s) != LZH_OK)
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

// Freed windows and tables wait in a short quarantine, so that their pages
// are reused instead of faulted in afresh for every input.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=4";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    unsigned outStep = 1 + data[0] % 37;
    unsigned inStep = 1 + (data[0] >> 5);
    int windowBits = (data[0] & 0x10) != 0 ? kSmallWindowBits : LZH_WINDOW_BITS;
    Outcome big = DecodeAll(data + 1, size - 1, windowBits, 0, 0, kOutputCap);
    Outcome small = DecodeAll(data + 1, size - 1, windowBits, outStep, inStep, kPacedOutputCap);
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
