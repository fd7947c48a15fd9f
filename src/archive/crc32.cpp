#include "archive/crc32.h"

namespace {

// Eight tables, made on first use rather than stored: 8 KiB the setup does
// not need to carry. Named into .bss: with one section per datum, MinGW's
// compiler puts zero-filled data in .data, which the file does carry.
#if defined(_WIN32) && defined(__GNUC__)
#define ORVIK_ZERO_FILLED __attribute__((section(".bss")))
#else
#define ORVIK_ZERO_FILLED
#endif
uint32_t tables[8][256] ORVIK_ZERO_FILLED;
bool tablesMade = false;

void MakeTables()
{
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        tables[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    tablesMade = true;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t count)
{
    if (!tablesMade)
        MakeTables();
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    uint32_t c = ~crc;
    while (count >= 8) {
        const uint32_t low = c ^ (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
        c = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
            tables[4][low >> 24] ^ tables[3][p[4]] ^ tables[2][p[5]] ^ tables[1][p[6]] ^ tables[0][p[7]];
        p += 8;
        count -= 8;
    }
    while (count-- > 0)
        c = (c >> 8) ^ tables[0][(c ^ *p++) & 0xFF];
    return ~c;
}
