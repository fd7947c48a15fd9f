#include "installlog/log_text.h"

#include <cstdlib>
#include <cstring>

#include "ground/codepage.h"

bool leadByteTable[256];
bool leadByteTableReady = false;

void FillLeadByteTable()
{
    for (int c = 0; c < 256; ++c)
        leadByteTable[c] = IsLeadByte(static_cast<unsigned char>(c));
    leadByteTableReady = true;
}

void AppendText(TextList* list, const char* text)
{
    if (!text || !GrowArray(reinterpret_cast<void**>(&list->items), &list->capacity, list->count, sizeof(char*))) {
        list->failed = true;
        return;
    }
    list->items[list->count++] = text;
}

void FreeTexts(TextList* list)
{
    std::free(list->items);
    *list = TextList();
}

const char* PoolJoin(TextPool* pool, const char* a, const char* b, const char* c)
{
    size_t la = std::strlen(a), lb = std::strlen(b), lc = std::strlen(c);
    size_t need = la + lb + lc + 1;
    if (!pool->block || pool->size - pool->used < need) {
        size_t size = need + sizeof(char*) > 16384 ? need + sizeof(char*) : 16384;
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) {
            pool->failed = true;
            return nullptr;
        }
        std::memcpy(block, &pool->block, sizeof(char*));
        pool->block = block;
        pool->size = size;
        pool->used = sizeof(char*);
    }
    char* out = pool->block + pool->used;
    std::memcpy(out, a, la);
    std::memcpy(out + la, b, lb);
    std::memcpy(out + la + lb, c, lc + 1);
    pool->used += need;
    return out;
}

void FreePool(TextPool* pool)
{
    char* block = pool->block;
    while (block) {
        char* previous;
        std::memcpy(&previous, block, sizeof(char*));
        std::free(block);
        block = previous;
    }
    *pool = TextPool();
}

namespace {

int Fold(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

}  // namespace

int CompareIgnoreCase(const char* a, const char* b)
{
    for (;;) {
        unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (IsLead(ca) && a[1]) {
            if (ca != cb)
                return ca < cb ? -1 : 1;
            unsigned char ta = static_cast<unsigned char>(a[1]), tb = static_cast<unsigned char>(b[1]);
            if (ta != tb)
                return ta < tb ? -1 : 1;
            a += 2;
            b += 2;
            continue;
        }
        int fa = Fold(ca), fb = Fold(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        if (!ca)
            return 0;
        ++a;
        ++b;
    }
}

bool EqualsIgnoreCase(const char* a, const char* b)
{
    return CompareIgnoreCase(a, b) == 0;
}

bool StartsWithIgnoreCase(const char* text, const char* head)
{
    size_t length = std::strlen(head);
    size_t i = 0;
    while (i < length) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!c)
            return false;
        if (IsLead(static_cast<unsigned char>(head[i])) && head[i + 1]) {
            if (text[i] != head[i] || text[i + 1] != head[i + 1])
                return false;
            i += 2;
            continue;
        }
        if (Fold(c) != Fold(static_cast<unsigned char>(head[i])))
            return false;
        ++i;
    }
    return i == length;
}

bool JoinText(char* out, size_t size, const char* a, const char* b, const char* c)
{
    size_t la = std::strlen(a), lb = std::strlen(b), lc = std::strlen(c);
    if (la + lb + lc >= size) {
        if (size)
            out[0] = '\0';
        return false;
    }
    std::memmove(out, a, la);
    std::memmove(out + la, b, lb);
    std::memmove(out + la + lb, c, lc + 1);
    return true;
}
