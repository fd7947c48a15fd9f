#include "archive/crc16.h"

#include <cstdint>

namespace {

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

}  // namespace

unsigned int Crc16Update(unsigned int crc, const void* bytes, size_t count)
{
    if (bytes == nullptr)
        return 0;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    unsigned c = crc & 0xFFFF;
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
