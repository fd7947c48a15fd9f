// Growing lists and a pool of texts on the heap, and the code page's rules
// for names, as the log's reader and the uninstaller use them: what the
// uninstaller plans is as long as the log, so fixed buffers hold single
// paths and these the rest. Portable; a failed allocation marks the list,
// and the caller stops.
#pragma once

#include <cstddef>

#include "ground/growable_array.h"

struct TextList {
    const char** items = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    bool failed = false;
};

void AppendText(TextList* list, const char* text);
void FreeTexts(TextList* list);

// Copies that live until the pool is freed.
struct TextPool {
    char* block = nullptr;  // the newest block; its first bytes link the one before
    size_t used = 0;
    size_t size = 0;
    bool failed = false;
};

// a, b and c joined; nullptr (and failed set) when memory runs out.
const char* PoolJoin(TextPool* pool, const char* a, const char* b = "", const char* c = "");
void FreePool(TextPool* pool);

// The code page's lead bytes, asked of the system once: the plan steps
// through every byte of every line several times.
extern bool leadByteTable[256];
extern bool leadByteTableReady;
void FillLeadByteTable();
inline bool IsLead(unsigned char c)
{
    if (!leadByteTableReady)
        FillLeadByteTable();
    return leadByteTable[c];
}

// Bytes that are never data in a path, except as trail bytes.
inline bool IsForbiddenInPath(unsigned char c)
{
    switch (c) {
    case ':': case '*': case '?': case '"': case '<': case '>': case '|': case '/':
        return true;
    default:
        return false;
    }
}

// Compares as the file system does for names of this code page: single-byte
// letters without case, double-byte characters exactly (folding a trail
// byte could make two characters equal). 0 when equal.
int CompareIgnoreCase(const char* a, const char* b);
bool EqualsIgnoreCase(const char* a, const char* b);
// The first count bytes of a against b, on character boundaries of a.
bool StartsWithIgnoreCase(const char* text, const char* head);

// Joins a, b and c into out; false (out emptied) when it does not fit.
bool JoinText(char* out, size_t size, const char* a, const char* b = "", const char* c = "");
