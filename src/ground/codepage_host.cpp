// Code page 932 (Shift_JIS) character stepping, as the Windows ANSI services
// do it on a Japanese system.
#include "ground/codepage.h"

bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

const char* NextChar(const char* p)
{
    if (*p == '\0')
        return p;
    // A lead byte right before the terminator stands alone.
    if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0')
        return p + 2;
    return p + 1;
}

const char* PrevChar(const char* start, const char* p)
{
    // Trail bytes overlap other bytes' values, so only a walk from the start
    // knows where characters begin.
    while (*start != '\0' && start < p) {
        const char* next = NextChar(start);
        if (next >= p)
            break;
        start = next;
    }
    return start;
}
