#include "archive/member_header.h"

#include <cstring>
#include <ctime>

#include "archive/crc16.h"
#include "archive/lh5_decoder.h"
#include "ground/codepage.h"

namespace {

constexpr size_t kBaseSize = 21;      // bytes common to every level
constexpr size_t kLevel2BaseSize = 26; // up to and with the first extended-header size

// The header being parsed and what has been found in it. Names are
// referenced inside bytes until the final path is assembled.
struct HeaderBuffer {
    unsigned char bytes[MEMBER_HEADER_BUFFER_SIZE];
    size_t filled;          // bytes read into the buffer so far
    size_t size;            // header size (level 1: base header plus extended headers)
    unsigned checksum;      // level 0/1 8-bit sum
    const unsigned char* name;
    size_t nameLength;
    const unsigned char* directory;
    size_t directoryLength;
    unsigned char* crcField; // body of the 0x00 extended header, if seen
    unsigned crcValue;
};

unsigned Read16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Read32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Read64(const unsigned char* p)
{
    return static_cast<uint64_t>(Read32(p)) | (static_cast<uint64_t>(Read32(p + 4)) << 32);
}

// Appends count bytes from the cursor. Every read advances the cursor: when
// the archive or the working buffer has too few, what there is is taken
// and the read fails.
bool ReadBytes(LzhDecodeStream* cursor, HeaderBuffer& h, size_t count)
{
    size_t take = count;
    if (take > sizeof(h.bytes) - h.filled)
        take = sizeof(h.bytes) - h.filled;
    if (take > cursor->availIn)
        take = cursor->availIn;
    if (take > 0)
        std::memcpy(h.bytes + h.filled, cursor->nextIn, take);
    h.filled += take;
    cursor->nextIn += take;
    cursor->availIn -= static_cast<uint32_t>(take);
    return take == count;
}

// Applies one extended header of extSize bytes at p (type, body, next size).
bool ApplyExtendedHeader(HeaderBuffer& h, unsigned char* p, size_t extSize, MemberInfo& info)
{
    unsigned char* body = p + 1;
    size_t bodySize = extSize - 3;
    switch (p[0]) {
    case 0x00:
        if (bodySize < 2)
            return false;
        h.crcField = body;
        h.crcValue = Read16(body);
        break;
    case 0x01:
        h.name = body;
        h.nameLength = bodySize;
        break;
    case 0x02:
        h.directory = body;
        h.directoryLength = bodySize;
        break;
    case 0x40:
        if (info.osId == 'M' && bodySize >= 2)
            info.attribute = static_cast<int>(Read16(body));
        break;
    case 0x41:
        if (info.osId == 'M' && bodySize >= 24) {
            info.creationTime = Read64(body);
            info.lastWriteTime = Read64(body + 8);
            info.lastAccessTime = Read64(body + 16);
        }
        break;
    default:
        break;
    }
    return true;
}

// Level 1: the extended headers follow the base header in the input; each
// is read into the buffer and applied. Returns their total size, or -1.
long ReadLevel1Extensions(LzhDecodeStream* cursor, HeaderBuffer& h, MemberInfo& info)
{
    size_t total = 0;
    size_t next = Read16(h.bytes + h.size - 2);
    while (next != 0) {
        if (next < 3)
            return -1;
        size_t at = h.filled;
        if (!ReadBytes(cursor, h, next))
            return -1;
        if (!ApplyExtendedHeader(h, h.bytes + at, next, info))
            return -1;
        total += next;
        next = Read16(h.bytes + at + next - 2);
    }
    return static_cast<long>(total);
}

// Level 2: the extended headers lie inside the header already read; the
// chain must stay within it.
bool WalkLevel2Extensions(HeaderBuffer& h, MemberInfo& info)
{
    size_t at = kLevel2BaseSize;
    size_t next = Read16(h.bytes + 24);
    while (next != 0) {
        if (next < 3 || next > h.size - at)
            return false;
        if (!ApplyExtendedHeader(h, h.bytes + at, next, info))
            return false;
        at += next;
        next = Read16(h.bytes + at - 2);
    }
    return true;
}

// Directory then name, cut to fit, separators made '\'. The walk steps
// over double-byte characters so a trail byte is never taken for a
// separator.
void AssemblePath(const HeaderBuffer& h, char* out, size_t capacity)
{
    if (capacity == 0)
        return;
    size_t used = 0;
    size_t room = capacity - 1;
    const bool cut = h.directoryLength + h.nameLength > room;
    size_t take = h.directoryLength < room ? h.directoryLength : room;
    if (take > 0)
        std::memcpy(out, h.directory, take);
    used = take;
    take = h.nameLength < room - used ? h.nameLength : room - used;
    if (take > 0)
        std::memcpy(out + used, h.name, take);
    used += take;
    out[used] = '\0';

    for (size_t i = 0; i < used;) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            if (i + 1 >= used) {
                // Half a character left by the cut goes; a lead byte that
                // ends the stored name stands as it was stored.
                if (cut)
                    out[i] = '\0';
                break;
            }
            i += 2;
            continue;
        }
        if (c == '/' || c == 0xFF)
            out[i] = '\\';
        ++i;
    }
}

// The years that the platform's local-time conversion takes as they are:
// below the end of a 32-bit calendar time, with room for MS-DOS fields
// that run over (month 15, day 31).
constexpr int kLastConvertedYear = 2035;

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 to 1 January of year (1970 and later).
int64_t DaysBeforeYear(int year)
{
    const int64_t before = year - 1;
    return 365 * static_cast<int64_t>(year - 1970) + (before / 4 - before / 100 + before / 400) -
           (1969 / 4 - 1969 / 100 + 1969 / 400);
}

// A year up to kLastConvertedYear whose calendar is the same as year's: a
// leap year alike, 1 January on the same weekday. Its daylight-saving
// dates, which follow weekdays, fall alike too. The 28 years before the
// limit hold every calendar.
int YearOfTheSameCalendar(int year)
{
    for (int candidate = kLastConvertedYear - 27; candidate <= kLastConvertedYear; ++candidate) {
        if (IsLeapYear(candidate) == IsLeapYear(year) &&
            (DaysBeforeYear(candidate) - DaysBeforeYear(year)) % 7 == 0)
            return candidate;
    }
    return kLastConvertedYear;  // not reached: every calendar is among them
}

}  // namespace

uint64_t UnixTimeToFileTime(int64_t t)
{
    return static_cast<uint64_t>((t + 11644473600LL) * 10000000LL);
}

uint64_t DosTimeToFileTime(uint32_t d)
{
    struct tm local = {};
    local.tm_sec = static_cast<int>((d & 0x1F) * 2);
    local.tm_min = static_cast<int>((d >> 5) & 0x3F);
    local.tm_hour = static_cast<int>((d >> 11) & 0x1F);
    local.tm_mday = static_cast<int>((d >> 16) & 0x1F);
    local.tm_mon = static_cast<int>((d >> 21) & 0x0F) - 1;
    local.tm_isdst = -1;
    // MS-DOS dates run to 2107; the i686 C runtime's calendar time is 32
    // bits and ends in January 2038. A later year is converted as the year of
    // the same calendar before it and moved by the days between the two.
    const int year = static_cast<int>(d >> 25) + 1980;
    const int stand = year > kLastConvertedYear ? YearOfTheSameCalendar(year) : year;
    local.tm_year = stand - 1900;
    const int64_t shift = (DaysBeforeYear(year) - DaysBeforeYear(stand)) * 86400;
    return UnixTimeToFileTime(static_cast<int64_t>(std::mktime(&local)) + shift);
}

int ReadMemberHeader(LzhDecodeStream* cursor, char* nameBuffer, size_t nameCapacity, MemberInfo* infoOut)
{
    HeaderBuffer h;
    std::memset(&h, 0, sizeof h);
    MemberInfo info;
    std::memset(&info, 0, sizeof info);

    if (cursor == nullptr || (cursor->nextIn == nullptr && cursor->availIn != 0))
        return BAD_HEADER;
    if (!ReadBytes(cursor, h, kBaseSize))
        return h.filled == 0 || h.bytes[0] == 0 ? END_OF_ARCHIVE : BAD_HEADER;

    const unsigned char* b = h.bytes;
    std::memcpy(info.methodId, b + 2, 5);
    info.methodId[5] = '\0';
    info.method = (std::memcmp(b + 2, "-lh5-", 5) == 0 || std::memcmp(b + 2, "-lh4-", 5) == 0) ? METHOD_LH5
                                                                                                  : METHOD_STORED;
    uint32_t compressedSize = Read32(b + 7);
    info.originalSize = Read32(b + 11);
    info.attribute = b[19];
    info.level = b[20];

    if (info.level == 0 || info.level == 1) {
        h.size = static_cast<size_t>(b[0]) + 2;
        h.checksum = b[1];
        info.lastWriteTime = DosTimeToFileTime(Read32(b + 15));
        if (h.size < kBaseSize + 1 || !ReadBytes(cursor, h, h.size - kBaseSize))
            return BAD_HEADER;
        unsigned sum = 0;
        for (size_t i = 2; i < h.size; ++i)
            sum += b[i];
        if ((sum & 0xFF) != h.checksum)
            return BAD_HEADER;

        size_t n = b[21];
        if (22 + n > h.size)
            return BAD_HEADER;
        h.name = b + 22;
        h.nameLength = n;
        size_t rest = h.size - n;
        if (rest >= 24)
            info.dataCrc = static_cast<int>(Read16(b + 22 + n));
        if (rest >= 25)
            info.osId = b[24 + n];

        if (rest < 24) {
            info.level = -1;  // no CRC field: no room for extended headers either
        } else if (info.level == 1) {
            long extensions = ReadLevel1Extensions(cursor, h, info);
            if (extensions < 0 || static_cast<uint32_t>(extensions) > compressedSize)
                return BAD_HEADER;
            h.size += static_cast<size_t>(extensions);
            compressedSize -= static_cast<uint32_t>(extensions);
        }
    } else if (info.level == 2) {
        h.size = Read16(b);
        if (h.size < kLevel2BaseSize || !ReadBytes(cursor, h, h.size - kBaseSize))
            return BAD_HEADER;
        info.lastWriteTime = UnixTimeToFileTime(static_cast<int32_t>(Read32(b + 15)));
        info.osId = b[23];
        if (!WalkLevel2Extensions(h, info))
            return BAD_HEADER;
        info.dataCrc = static_cast<int>(Read16(b + 21));
        if (h.crcField == nullptr)
            return BAD_HEADER;
    } else {
        return BAD_HEADER;
    }

    if (h.crcField != nullptr) {
        unsigned char saved[2] = {h.crcField[0], h.crcField[1]};
        h.crcField[0] = h.crcField[1] = 0;
        unsigned crc = Crc16Update(0, h.bytes, h.size);
        h.crcField[0] = saved[0];
        h.crcField[1] = saved[1];
        if (crc != h.crcValue)
            return BAD_HEADER;
    }

    if (nameBuffer != nullptr)
        AssemblePath(h, nameBuffer, nameCapacity);
    info.compressedSize = compressedSize;
    info.headerSize = static_cast<uint32_t>(h.size);
    if (infoOut != nullptr)
        *infoOut = info;
    return MEMBER_HEADER_OK;
}
