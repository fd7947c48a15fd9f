// The ANSI code page services the path operations step by. On Windows they
// are the system's (IsDBCSLeadByte, CharNextA, CharPrevA); the host build
// carries code page 932 rules.
#pragma once

bool IsLeadByte(unsigned char byte);
// The next character; stays on the terminator.
const char* NextChar(const char* p);
// The character before p, walking from start; start itself when p is start.
const char* PrevChar(const char* start, const char* p);

inline char* NextChar(char* p) { return const_cast<char*>(NextChar(static_cast<const char*>(p))); }
inline char* PrevChar(char* start, char* p)
{
    return const_cast<char*>(PrevChar(static_cast<const char*>(start), static_cast<const char*>(p)));
}
