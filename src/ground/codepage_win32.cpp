#include "ground/codepage.h"

#include <windows.h>

bool IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

const char* NextChar(const char* p)
{
    return CharNextA(p);
}

const char* PrevChar(const char* start, const char* p)
{
    return CharPrevA(start, p);
}
