#include "archive/crc16.h"

#include <cstdint>
#include <cstring>

// Only the 64-bit builds fold with SSE registers: every 64-bit system saves
// them, while a 32-bit Windows of the 9x family may not, whatever the
// processor reports.
#if defined(__x86_64__) && defined(__GNUC__)
#define ORVIK_CRC16_CLMUL 1
#include <emmintrin.h>
#include <wmmintrin.h>
#endif

namespace {

constexpr unsigned kPolynomial = 0x8005;  // x^16 + x^15 + x^2 + 1; reflected 0xA001

// Table 0 is the classic byte-at-a-time table; tables 1..7 let the loop
// take eight bytes per step with the same result.
struct Crc16Tables {
    uint16_t t[8][256];
    constexpr Crc16Tables() : t()
    {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
            t[0][i] = static_cast<uint16_t>(crc);
        }
        for (unsigned i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k)
                t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    }
};

constexpr Crc16Tables kTables;

unsigned TableUpdate(unsigned c, const unsigned char* p, size_t count)
{
    while (count >= 8) {
        c ^= p[0] | (p[1] << 8);
        c = kTables.t[7][c & 0xFF] ^ kTables.t[6][c >> 8] ^ kTables.t[5][p[2]] ^ kTables.t[4][p[3]] ^
            kTables.t[3][p[4]] ^ kTables.t[2][p[5]] ^ kTables.t[1][p[6]] ^ kTables.t[0][p[7]];
        p += 8;
        count -= 8;
    }
    while (count-- > 0)
        c = (c >> 8) ^ kTables.t[0][(c ^ *p++) & 0xFF];
    return c;
}

#ifdef ORVIK_CRC16_CLMUL

// Carry-less multiplication folding. A 16-byte block, loaded little-endian,
// holds message bits in the CRC's reflected order: bit j is the coefficient
// of x^(127-j). Folding a block over t further message bits multiplies its
// first and second halves by x^(t+64) and x^t modulo the polynomial; each
// constant is one power lower because the reflected product comes out
// multiplied by x. Constants are reflected 64-bit values (x^d at bit 63-d).
constexpr uint64_t FoldConstant(unsigned power)
{
    unsigned r = 1;
    for (unsigned i = 0; i < power; ++i) {
        r <<= 1;
        if (r & 0x10000)
            r ^= 0x10000 | kPolynomial;
    }
    uint64_t k = 0;
    for (unsigned d = 0; d < 16; ++d)
        if (r & (1u << d))
            k |= uint64_t(1) << (63 - d);
    return k;
}

constexpr uint64_t kFold512First = FoldConstant(512 + 63), kFold512Second = FoldConstant(512 - 1);
constexpr uint64_t kFold128First = FoldConstant(128 + 63), kFold128Second = FoldConstant(128 - 1);

// The first half's constant in the low lane, the second half's in the high.
__attribute__((target("sse2,pclmul"))) inline __m128i Constants(uint64_t first, uint64_t second)
{
    return _mm_set_epi32(static_cast<int>(second >> 32), static_cast<int>(second), static_cast<int>(first >> 32),
                         static_cast<int>(first));
}

// block folded over the bits of `next`, then next added.
__attribute__((target("sse2,pclmul"))) inline __m128i Fold(__m128i block, __m128i k, __m128i next)
{
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(block, k, 0x00), _mm_clmulepi64_si128(block, k, 0x11)),
                         next);
}

// count >= 64. Folds the whole 16-byte blocks down to one and finishes with
// the table: the CRC of that block (from 0) is the CRC of everything so far.
__attribute__((target("sse2,pclmul"))) unsigned ClmulUpdate(unsigned c, const unsigned char* p, size_t count)
{
    const __m128i* in = reinterpret_cast<const __m128i*>(p);
    __m128i x0 = _mm_xor_si128(_mm_loadu_si128(in), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = _mm_loadu_si128(in + 1);
    __m128i x2 = _mm_loadu_si128(in + 2);
    __m128i x3 = _mm_loadu_si128(in + 3);
    in += 4;
    count -= 64;
    const __m128i k512 = Constants(kFold512First, kFold512Second);
    while (count >= 64) {
        x0 = Fold(x0, k512, _mm_loadu_si128(in));
        x1 = Fold(x1, k512, _mm_loadu_si128(in + 1));
        x2 = Fold(x2, k512, _mm_loadu_si128(in + 2));
        x3 = Fold(x3, k512, _mm_loadu_si128(in + 3));
        in += 4;
        count -= 64;
    }
    const __m128i k128 = Constants(kFold128First, kFold128Second);
    x0 = Fold(x0, k128, x1);
    x0 = Fold(x0, k128, x2);
    x0 = Fold(x0, k128, x3);
    while (count >= 16) {
        x0 = Fold(x0, k128, _mm_loadu_si128(in));
        ++in;
        count -= 16;
    }
    unsigned char last[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x0);
    c = TableUpdate(0, last, sizeof last);
    return TableUpdate(c, reinterpret_cast<const unsigned char*>(in), count);
}

// Asked each time: two bits of what the runtime found at start-up. A local
// static would need a guard, and the guard brings the exception runtime
// (with its demangler and thread library) into the program.
bool HasClmul()
{
    return __builtin_cpu_supports("sse2") && __builtin_cpu_supports("pclmul");
}

#endif

}  // namespace

unsigned int Crc16Update(unsigned int crc, const void* bytes, size_t count)
{
    if (bytes == nullptr)
        return 0;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
#ifdef ORVIK_CRC16_CLMUL
    if (count >= 64 && HasClmul())
        return ClmulUpdate(crc & 0xFFFF, p, count);
#endif
    return TableUpdate(crc & 0xFFFF, p, count);
}
