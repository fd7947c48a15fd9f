#include "archive/lh5_decoder.h"

#include <cstdlib>
#include <cstring>

const char kLzhTooManySymbols[] = "too many length or distance symbols";
const char kLzhInvalidRepeat[] = "invalid bit length repeat";
const char kLzhOversubscribedBits[] = "oversubscribed dynamic bit lengths tree";
const char kLzhIncompleteBits[] = "incomplete dynamic bit lengths tree";
const char kLzhOversubscribedLengths[] = "oversubscribed literal/length tree";
const char kLzhIncompleteLengths[] = "incomplete literal/length tree";
const char kLzhIncompleteDistances[] = "incomplete distance tree";
const char kLzhInvalidLengthCode[] = "invalid literal/length code";
const char kLzhInvalidDistanceCode[] = "invalid distance code";

namespace {

constexpr unsigned kMinWindowBits = 8, kMaxWindowBits = 15;
constexpr uint32_t kWindowSlack = 16;  // lets match copies run past the window's end
constexpr unsigned kTableArea = 1440;  // entries shared by the tables of one block
constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kTSymbols = 19, kCSymbols = 510, kPSymbols = 14;
constexpr unsigned kTRootBits = 7, kCRootBits = 9, kPRootBits = 6;
// The fast path wants enough input for a whole code (C code, P code, extra
// bits) plus an 8-byte refill.
constexpr uint32_t kFastInput = 10;

// Lookup-table entry, packed into one word:
//   bits 0-7    bits a lookup drops at this level; for a position symbol the
//               code and its extra bits together
//   bits 8-11   position symbol: extra-bit count; link: index bits of the
//               sub-table
//   bits 12-15  kind flags below; a match has none
//   bits 16-31  literal byte, T symbol, match length, sub-table offset, or
//               for a position symbol its base minus (code << extra), modulo
//               2^16, so that base + extra bits = value + the dropped bits
using Entry = uint32_t;
constexpr Entry kSymbolFlag = 1u << 12;   // T symbol, C literal, P position
constexpr Entry kLinkFlag = 1u << 13;     // sub-table
constexpr Entry kInvalidFlag = 1u << 14;  // unused code, or a symbol past its table
constexpr Entry kInvalidEntry = kInvalidFlag;

constexpr Entry MakeEntry(Entry flags, unsigned bits, unsigned extra, uint32_t value)
{
    return flags | bits | (extra << 8) | ((value & 0xFFFF) << 16);
}
inline unsigned EntryBits(Entry e) { return e & 0xFF; }
inline unsigned EntryExtra(Entry e) { return (e >> 8) & 0xF; }
inline uint32_t EntryValue(Entry e) { return e >> 16; }

enum class TableKind { T, C, P };

enum BlockMode {
    BLOCK_COUNT,
    T_COUNT,
    T_SINGLE,
    T_LENGTHS,
    T_SKIP,
    C_COUNT,
    C_SINGLE,
    C_LENGTHS,
    P_COUNT,
    P_SINGLE,
    P_LENGTHS,
    CODES,
    FLUSH,
    DONE,
    BAD,
};

enum CodeMode {
    CODE_START,
    CODE_LENGTH,    // C code
    CODE_DISTANCE,  // P code
    CODE_DIST_EXTRA,
    CODE_COPY,
    CODE_LITERAL,
    CODE_WASH,
    CODE_END,
};

enum BuildResult { BUILD_OK, BUILD_OVERSUBSCRIBED, BUILD_INCOMPLETE, BUILD_EMPTY };

}  // namespace

struct LzhDecoderState {
    unsigned char* window;
    uint32_t windowSize;  // 2^windowBits
    unsigned windowBits;
    uint32_t readPos;   // next byte to deliver
    uint32_t writePos;  // next byte to produce; windowSize only while readPos is 0

    uint32_t bitBuffer;  // valid bits at the top, zeros below
    unsigned bitCount;

    int mode;
    uint32_t blockCodes;   // codes left in the block
    unsigned tableCount;   // n of the table being read
    unsigned tableIndex;   // next length to read
    unsigned partialLength; // 7.. while a long T/P length is being read
    unsigned pendingRun;   // C lengths: 4 or 9 when a zero-run count is due
    unsigned char* lengths; // kCSymbols, only while a block's tables are read
    Entry* area;            // kTableArea
    unsigned areaUsed;

    int codeMode;
    const Entry* tTable;
    const Entry* cTable;
    const Entry* pTable;
    unsigned tBits, cBits, pBits;
    uint32_t length;
    uint32_t distance;
    unsigned distanceExtra;

    bool progress;  // input taken or output delivered during this call
};

namespace {

void* DefaultAlloc(void*, unsigned int count, unsigned int size)
{
    return std::calloc(count, size);
}

void DefaultFree(void*, void* memory)
{
    std::free(memory);
}

// ---- table building ------------------------------------------------------

// The entry of symbol whose code, at the entry's level, is codeBits bits
// long with the value code. Positions past the window (maxPosition) cannot
// be decoded and are invalid like symbols past the table.
Entry SymbolEntry(TableKind kind, unsigned symbol, unsigned codeBits, uint32_t code, unsigned maxPosition)
{
    switch (kind) {
    case TableKind::T:
        return MakeEntry(kSymbolFlag, codeBits, 0, symbol);
    case TableKind::C:
        if (symbol >= kCSymbols)
            return kInvalidEntry;
        if (symbol < 256)
            return MakeEntry(kSymbolFlag, codeBits, 0, symbol);
        return MakeEntry(0, codeBits, 0, symbol - 256 + 3);
    case TableKind::P:
        if (symbol >= kPSymbols || symbol > maxPosition)
            return kInvalidEntry;
        {
            unsigned extra = symbol < 2 ? 0 : symbol - 1;
            uint32_t base = symbol < 2 ? symbol + 1 : (1u << extra) + 1;
            return MakeEntry(kSymbolFlag, codeBits + extra, extra, base - (code << extra));
        }
    }
    return kInvalidEntry;
}

// A table whose every lookup yields symbol and takes no bits: two entries
// under a one-bit root.
void BuildSingle(Entry* area, TableKind kind, unsigned symbol, unsigned maxPosition = kPSymbols - 1)
{
    area[0] = area[1] = SymbolEntry(kind, symbol, 0, 0, maxPosition);
}

// Canonical prefix code from lengths[0..n): root table of 2^rootBits
// entries at area, then one sub-table per root prefix of longer codes
// (link values are offsets from area). Symbols sorted by code are laid out
// in code order, so the root and every sub-table fill from front to back.
BuildResult BuildTable(const unsigned char* lengths, unsigned n, unsigned rootBits, TableKind kind, Entry* area,
                       unsigned capacity, unsigned* used, unsigned maxPosition = kPSymbols - 1)
{
    unsigned count[kMaxCodeLength + 1] = {};
    for (unsigned s = 0; s < n; ++s)
        ++count[lengths[s]];
    if (count[0] == n)
        return BUILD_EMPTY;

    int left = 1;
    unsigned maxLength = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        left = left * 2 - static_cast<int>(count[len]);
        if (left < 0)
            return BUILD_OVERSUBSCRIBED;
        if (count[len] != 0)
            maxLength = len;
    }
    if (left > 0 && maxLength != 1)
        return BUILD_INCOMPLETE;

    // Symbols in code order: by length, then by symbol.
    unsigned offset[kMaxCodeLength + 2];
    offset[1] = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
        offset[len + 1] = offset[len] + count[len];
    uint16_t sorted[kCSymbols];
    for (unsigned s = 0; s < n; ++s)
        if (lengths[s] != 0)
            sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);
    const unsigned coded = n - count[0];

    const unsigned rootSize = 1u << rootBits;
    if (rootSize > capacity)
        return BUILD_OVERSUBSCRIBED;
    if (left > 0) {
        // The one incomplete shape allowed: a single code of length 1.
        for (unsigned i = 0; i < rootSize; ++i)
            area[i] = kInvalidEntry;
    }
    unsigned i = 0;  // next symbol in code order
    unsigned slot = 0;
    uint32_t code = 0;  // canonical code of sorted[i], lengths[sorted[i]] bits
    unsigned len = 1;
    for (; i < coded; ++i) {
        unsigned s = sorted[i];
        while (len < lengths[s]) {
            ++len;
            code <<= 1;
        }
        if (len > rootBits)
            break;
        Entry e = SymbolEntry(kind, s, len, code, maxPosition);
        unsigned span = 1u << (rootBits - len);
        for (unsigned k = 0; k < span; ++k)
            area[slot + k] = e;
        slot += span;
        ++code;
    }

    // Longer codes: one sub-table per root prefix, sized so that the codes
    // under that prefix fill it exactly.
    unsigned total = rootSize;
    unsigned remaining[kMaxCodeLength + 1];
    std::memcpy(remaining, count, sizeof remaining);
    for (unsigned l = 1; l <= rootBits; ++l)
        remaining[l] = 0;
    while (i < coded) {
        unsigned prefix = code >> (len - rootBits);
        unsigned subBits = len - rootBits;
        int room = 1 << subBits;
        for (;;) {
            room -= static_cast<int>(remaining[rootBits + subBits]);
            if (room <= 0)
                break;
            ++subBits;
            room <<= 1;
        }
        const unsigned subSize = 1u << subBits;
        if (total + subSize > capacity)
            return BUILD_OVERSUBSCRIBED;
        area[prefix] = MakeEntry(kLinkFlag, rootBits, subBits, total);
        Entry* sub = area + total;
        unsigned subSlot = 0;
        while (subSlot < subSize) {
            unsigned s = sorted[i];
            while (len < lengths[s]) {
                ++len;
                code <<= 1;
            }
            unsigned codeBits = len - rootBits;
            uint32_t low = code & ((1u << codeBits) - 1);
            Entry e = SymbolEntry(kind, s, codeBits, low, maxPosition);
            unsigned span = 1u << (subBits - codeBits);
            for (unsigned k = 0; k < span; ++k)
                sub[subSlot + k] = e;
            subSlot += span;
            --remaining[len];
            ++code;
            ++i;
        }
        total += subSize;
    }
    *used = total;
    return BUILD_OK;
}

// ---- bit input and window -----------------------------------------------

// At least k (<= 25) bits in the buffer; false when the caller must supply
// more input. Past the member's data zero bytes are taken.
inline bool NeedBits(LzhDecodeStream* s, LzhDecoderState* st, unsigned k)
{
    while (st->bitCount < k) {
        uint32_t byte = 0;
        if (s->compressedLeft > 0) {
            if (s->availIn == 0)
                return false;
            byte = *s->nextIn++;
            --s->availIn;
            --s->compressedLeft;
            ++s->totalIn;
            st->progress = true;
        }
        st->bitBuffer |= byte << (24 - st->bitCount);
        st->bitCount += 8;
    }
    return true;
}

inline uint32_t PeekBits(const LzhDecoderState* st, unsigned k)
{
    return st->bitBuffer >> (32 - k);
}

inline void DropBits(LzhDecoderState* st, unsigned k)
{
    st->bitBuffer = k >= 32 ? 0 : st->bitBuffer << k;
    st->bitCount -= k;
}

// Careful lookup of one code; false when more input is needed. Leaves the
// buffer untouched in that case so the lookup can be repeated. Drops the
// code's own bits; a position symbol's extra bits stay, and *code receives
// the code's bits at the entry's level (what its value is relative to).
bool LookupCode(LzhDecodeStream* s, LzhDecoderState* st, const Entry* table, unsigned rootBits, Entry* out,
                uint32_t* code = nullptr)
{
    if (!NeedBits(s, st, rootBits))
        return false;
    Entry e = table[PeekBits(st, rootBits)];
    unsigned before = 0;
    if (e & kLinkFlag) {
        unsigned linkBits = EntryExtra(e);
        if (!NeedBits(s, st, rootBits + linkBits))
            return false;
        uint32_t index = (st->bitBuffer << rootBits) >> (32 - linkBits);
        e = table[EntryValue(e) + index];
        before = rootBits;
    }
    const unsigned codeBits = EntryBits(e) - EntryExtra(e);
    if (code != nullptr)
        *code = codeBits == 0 ? 0 : (st->bitBuffer << before) >> (32 - codeBits);
    DropBits(st, before + codeBits);
    *out = e;
    return true;
}

// Copies undelivered window bytes to the output, up to availOut, in at most
// two pieces.
void Deliver(LzhDecodeStream* s, LzhDecoderState* st)
{
    const uint32_t size = st->windowSize;
    for (int piece = 0; piece < 2; ++piece) {
        uint32_t end = st->writePos >= st->readPos ? st->writePos : size;
        uint32_t n = end - st->readPos;
        if (n > s->availOut)
            n = s->availOut;
        if (n > 0) {
            std::memcpy(s->nextOut, st->window + st->readPos, n);
            s->nextOut += n;
            s->availOut -= n;
            s->totalOut += n;
            st->readPos += n;
            st->progress = true;
        }
        if (st->readPos != size)
            break;
        st->readPos = 0;
        if (st->writePos == size)
            st->writePos = 0;
    }
    if (st->writePos == size && st->readPos != 0)
        st->writePos = 0;  // wrap: everything before the read position is free
}

// Where writing must stop: just before the undelivered bytes, or the
// window's end.
inline uint32_t WindowEnd(const LzhDecoderState* st)
{
    return st->writePos < st->readPos ? st->readPos - 1 : st->windowSize;
}

// Contiguous bytes that may be written at writePos without reaching
// undelivered bytes.
inline uint32_t WindowRoom(const LzhDecoderState* st)
{
    return WindowEnd(st) - st->writePos;
}

// Room for at least one byte, delivering first when needed; 0 when the
// caller must supply output space.
uint32_t MakeRoom(LzhDecodeStream* s, LzhDecoderState* st)
{
    uint32_t room = WindowRoom(st);
    if (room == 0) {
        Deliver(s, st);
        room = WindowRoom(st);
    }
    return room;
}

// ---- match copies -----------------------------------------------------------

inline void Copy8(unsigned char* to, const unsigned char* from)
{
    uint64_t chunk;
    std::memcpy(&chunk, from, 8);
    std::memcpy(to, &chunk, 8);
}

// Forward copy of length bytes in whole 8-byte chunks (up to 7 bytes past
// the end are written). Safe when from is ahead of to, or 8 or more bytes
// behind it: no chunk reads a byte that an earlier chunk of this copy wrote
// unless that byte was already final.
inline void CopyChunks(unsigned char* to, const unsigned char* from, uint32_t length)
{
    unsigned char* const end = to + length;
    do {
        Copy8(to, from);
        from += 8;
        to += 8;
    } while (to < end);
}

// length bytes from distance bytes behind `to`, inside one piece of memory;
// up to 15 bytes after them are overwritten.
inline void CopyBack(unsigned char* to, uint32_t distance, uint32_t length)
{
    const unsigned char* from = to - distance;
    if (distance >= 8) {
        // Most matches are short: two chunks without a loop to mispredict.
        Copy8(to, from);
        Copy8(to + 8, from + 8);
        if (length > 16)
            CopyChunks(to + 16, from + 16, length - 16);
    } else if (distance == 1) {
        std::memset(to, to[-1], length);
    } else {
        for (uint32_t i = 0; i < length; ++i)
            to[i] = from[i];
    }
}

// A match written at window[q .. q + length), q + length within the window:
// its source may start behind the window's start, and then comes in two
// pieces, the first from the window's end. The up to 15 bytes after the
// match that the chunks overwrite are still dictionary and are put back.
inline void CopyMatch(unsigned char* window, uint32_t size, uint32_t q, uint32_t distance, uint32_t length)
{
    unsigned char* const out = window + q;
    unsigned char after[16];
    std::memcpy(after, out + length, sizeof after);
    if (distance <= q) {
        CopyBack(out, distance, length);
    } else {
        // The source begins distance - q bytes before the window's end, at
        // or ahead of out: a forward copy in chunks is safe.
        uint32_t back = distance - q;
        uint32_t first = back < length ? back : length;
        CopyChunks(out, window + size - back, first);
        if (first < length)
            CopyBack(out + first, distance, length - first);
    }
    std::memcpy(out + length, after, sizeof after);
}

// ---- fast path ------------------------------------------------------------

inline uint64_t LoadBigEndian64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__GNUC__)
    return __builtin_bswap64(v);
#else
    uint64_t r = 0;
    for (int i = 0; i < 8; ++i)
        r = (r << 8) | p[i];
    return r;
#endif
}

// Top k bits of a 64-bit buffer; k may be 0.
inline uint32_t Top(uint64_t buffer, unsigned k)
{
    return static_cast<uint32_t>((buffer >> 1) >> (63 - k));
}

enum FastResult { FAST_STOPPED, FAST_BAD_LENGTH, FAST_BAD_DISTANCE };

// Delivers window bytes so that `need` bytes fit at the write position;
// false when the caller's output space does not allow it.
bool DeliverForRoom(LzhDecodeStream* s, LzhDecoderState* st, uint32_t need)
{
    Deliver(s, st);
    return WindowRoom(st) >= need;
}

// Decodes whole codes while the block has codes left, enough input is there
// and each code fits in the window (delivering to make room). Works on a
// 64-bit local buffer and gives back every whole byte it took but did not
// use. kRootTables: both tables have their full root bits (not single
// symbols), so the lookups shift by constants.
template <bool kRootTables>
FastResult DecodeFastWith(LzhDecodeStream* s, LzhDecoderState* st)
{
    uint32_t avail = s->availIn < s->compressedLeft ? s->availIn : s->compressedLeft;
    const unsigned char* const start = s->nextIn;
    const unsigned char* in = start;
    // The last position an 8-byte load may start at (none under 8 bytes).
    const unsigned char* const inLimit = start + (avail >= 8 ? avail - 8 : 0);
    unsigned char* const window = st->window;
    const Entry* const cTable = st->cTable;
    const Entry* const pTable = st->pTable;
    const unsigned cBits = kRootTables ? kCRootBits : st->cBits;
    const unsigned pBits = kRootTables ? kPRootBits : st->pBits;
    // Every root lookup takes at least one bit, so a plain shift finds it.
    const unsigned cShift = 64 - cBits;
    const unsigned pShift = 64 - pBits;
    uint32_t q = st->writePos;
    uint32_t end = WindowEnd(st);
    uint32_t codes = st->blockCodes;
    uint64_t bb = static_cast<uint64_t>(st->bitBuffer) << 32;
    unsigned bc = st->bitCount;
    FastResult result = FAST_STOPPED;

#define LZH_REFILL()                      \
    do {                                  \
        bb |= LoadBigEndian64(in) >> bc;  \
        in += (63 - bc) >> 3;             \
        bc |= 56;                         \
    } while (0)
// Room for need bytes at q, delivering when the window is short of it.
#define LZH_ROOM(need)                                 \
    (end - q >= (need) || (st->writePos = q, DeliverForRoom(s, st, (need)) \
                               ? (q = st->writePos, end = WindowEnd(st), true) : false))

// Takes the literal of entry e, whose code is `bits` long.
#define LZH_PUT_LITERAL(bits)                                     \
    do {                                                          \
        bb <<= (bits);                                            \
        bc -= (bits);                                             \
        window[q++] = static_cast<unsigned char>(EntryValue(e));  \
        --codes;                                                  \
    } while (0)

    if (codes != 0 && avail >= 8) {
        LZH_REFILL();
        // After a refill 56 bits are there: enough for a C code, a P code
        // and its extra bits (16 + 16 + 12), or for three literals.
        Entry e = cTable[bb >> cShift];
        for (;;) {
            unsigned drop = EntryBits(e);
            if (e & kLinkFlag) {
                e = cTable[EntryValue(e) + Top(bb << cBits, EntryExtra(e))];
                drop = cBits + EntryBits(e);
            }
            if (e & kSymbolFlag) {
                if (!LZH_ROOM(1))
                    break;
                LZH_PUT_LITERAL(drop);
                // Two more literals from the root table without a refill,
                // where the window and the block have room for them.
                if (codes >= 2 && end - q >= 2) {
                    e = cTable[bb >> cShift];
                    if (e & kSymbolFlag) {
                        LZH_PUT_LITERAL(EntryBits(e));
                        e = cTable[bb >> cShift];
                        if (e & kSymbolFlag)
                            LZH_PUT_LITERAL(EntryBits(e));
                    }
                }
                if (codes == 0 || in > inLimit)
                    break;
                LZH_REFILL();
                e = cTable[bb >> cShift];
                continue;
            }
            if (e & kInvalidFlag) {
                result = FAST_BAD_LENGTH;
                break;
            }
            const uint32_t length = EntryValue(e);
            if (!LZH_ROOM(length))
                break;
            bb <<= drop;
            bc -= drop;

            e = pTable[bb >> pShift];
            if (e & kLinkFlag) {
                bb <<= pBits;
                bc -= pBits;
                e = pTable[EntryValue(e) + Top(bb, EntryExtra(e))];
            }
            if (!(e & kSymbolFlag)) {
                result = FAST_BAD_DISTANCE;
                break;
            }
            drop = EntryBits(e);
            const uint32_t distance = (EntryValue(e) + Top(bb, drop)) & 0xFFFF;
            bb <<= drop;
            bc -= drop;
            --codes;
            if (codes == 0 || in > inLimit) {
                CopyMatch(window, st->windowSize, q, distance, length);
                q += length;
                break;
            }
            // The next code's entry loads while the match is copied.
            LZH_REFILL();
            e = cTable[bb >> cShift];
            CopyMatch(window, st->windowSize, q, distance, length);
            q += length;
        }
    }
#undef LZH_PUT_LITERAL
#undef LZH_ROOM
#undef LZH_REFILL

    // Give back whole bytes taken in this call but not used.
    uint32_t taken = static_cast<uint32_t>(in - start);
    uint32_t giveBack = bc >> 3;
    if (giveBack > taken)
        giveBack = taken;
    in -= giveBack;
    taken -= giveBack;
    bc -= giveBack * 8;
    bb &= bc == 0 ? 0 : ~uint64_t(0) << (64 - bc);

    s->nextIn = in;
    s->availIn -= taken;
    s->compressedLeft -= taken;
    s->totalIn += taken;
    if (taken != 0)
        st->progress = true;
    st->bitBuffer = static_cast<uint32_t>(bb >> 32);
    st->bitCount = bc;
    st->writePos = q;
    st->blockCodes = codes;
    return result;
}

// Kept out of line so that its loop has the registers to itself.
__attribute__((noinline)) FastResult DecodeFast(LzhDecodeStream* s, LzhDecoderState* st)
{
    if (st->cBits == kCRootBits && st->pBits == kPRootBits)
        return DecodeFastWith<true>(s, st);
    return DecodeFastWith<false>(s, st);
}

// ---- careful path -----------------------------------------------------------

enum StepResult { STEP_DONE, STEP_WAIT, STEP_BAD };

int Fail(LzhDecodeStream* s, LzhDecoderState* st, const char* message)
{
    st->mode = BAD;
    if (message != nullptr)
        s->message = message;
    return STEP_BAD;
}

// Decodes the codes of the current block; STEP_DONE once the block's
// bytes are all delivered.
int DecodeCodes(LzhDecodeStream* s, LzhDecoderState* st)
{
    for (;;) {
        switch (st->codeMode) {
        case CODE_START: {
            if (st->blockCodes == 0) {
                st->codeMode = CODE_WASH;
                break;
            }
            uint32_t avail = s->availIn < s->compressedLeft ? s->availIn : s->compressedLeft;
            if (avail >= kFastInput) {
                FastResult r = DecodeFast(s, st);
                if (r == FAST_BAD_LENGTH)
                    return Fail(s, st, kLzhInvalidLengthCode);
                if (r == FAST_BAD_DISTANCE)
                    return Fail(s, st, kLzhInvalidDistanceCode);
                if (st->blockCodes == 0) {
                    st->codeMode = CODE_WASH;
                    break;
                }
            }
            st->codeMode = CODE_LENGTH;
            break;
        }
        case CODE_LENGTH: {
            Entry e;
            if (!LookupCode(s, st, st->cTable, st->cBits, &e))
                return STEP_WAIT;
            --st->blockCodes;
            if (e & kInvalidFlag)
                return Fail(s, st, kLzhInvalidLengthCode);
            st->length = EntryValue(e);
            st->codeMode = (e & kSymbolFlag) ? CODE_LITERAL : CODE_DISTANCE;
            break;
        }
        case CODE_LITERAL:
            if (MakeRoom(s, st) == 0)
                return STEP_WAIT;
            st->window[st->writePos++] = static_cast<unsigned char>(st->length);
            st->codeMode = CODE_START;
            break;
        case CODE_DISTANCE: {
            Entry e;
            uint32_t code;
            if (!LookupCode(s, st, st->pTable, st->pBits, &e, &code))
                return STEP_WAIT;
            if (!(e & kSymbolFlag))
                return Fail(s, st, kLzhInvalidDistanceCode);
            st->distanceExtra = EntryExtra(e);
            st->distance = (EntryValue(e) + (code << st->distanceExtra)) & 0xFFFF;  // the base
            st->codeMode = CODE_DIST_EXTRA;
            break;
        }
        case CODE_DIST_EXTRA:
            if (st->distanceExtra != 0) {
                if (!NeedBits(s, st, st->distanceExtra))
                    return STEP_WAIT;
                st->distance += PeekBits(st, st->distanceExtra);
                DropBits(st, st->distanceExtra);
            }
            st->codeMode = CODE_COPY;
            break;
        case CODE_COPY:
            while (st->length != 0) {
                uint32_t room = MakeRoom(s, st);
                if (room == 0)
                    return STEP_WAIT;
                uint32_t n = st->length < room ? st->length : room;
                uint32_t q = st->writePos;
                uint32_t from = q - st->distance;
                for (uint32_t i = 0; i < n; ++i)
                    st->window[q + i] = st->window[(from + i) & (st->windowSize - 1)];
                st->writePos = q + n;
                st->length -= n;
            }
            st->codeMode = CODE_START;
            break;
        case CODE_WASH:
            Deliver(s, st);
            if (st->readPos != st->writePos)
                return STEP_WAIT;
            st->codeMode = CODE_END;
            break;
        case CODE_END:
            return STEP_DONE;
        }
    }
}

// Reads T or P code lengths (3 bits each, 7 extended by a run of 1 bits);
// for T a 2-bit count of zero lengths follows the third length.
int ReadShortLengths(LzhDecodeStream* s, LzhDecoderState* st, bool isT)
{
    while (st->tableIndex < st->tableCount) {
        if (st->partialLength == 0) {
            if (!NeedBits(s, st, 3))
                return STEP_WAIT;
            unsigned v = PeekBits(st, 3);
            DropBits(st, 3);
            if (v == 7) {
                st->partialLength = 7;
            } else {
                st->lengths[st->tableIndex++] = static_cast<unsigned char>(v);
                if (isT && st->tableIndex == 3 && st->tableCount > 3) {
                    st->mode = T_SKIP;
                    return STEP_DONE;
                }
                continue;
            }
        }
        for (;;) {
            if (!NeedBits(s, st, 1))
                return STEP_WAIT;
            unsigned bit = PeekBits(st, 1);
            DropBits(st, 1);
            if (bit == 0)
                break;
            if (++st->partialLength > kMaxCodeLength)
                return Fail(s, st, nullptr);
        }
        st->lengths[st->tableIndex++] = static_cast<unsigned char>(st->partialLength);
        st->partialLength = 0;
        if (isT && st->tableIndex == 3 && st->tableCount > 3) {
            st->mode = T_SKIP;
            return STEP_DONE;
        }
    }
    return STEP_DONE;
}

void BeginLengths(LzhDecoderState* st, unsigned n)
{
    std::memset(st->lengths, 0, kCSymbols);
    st->tableCount = n;
    st->tableIndex = 0;
    st->partialLength = 0;
    st->pendingRun = 0;
}

// The tables are complete: the length array goes, the codes begin.
void BeginCodes(LzhDecodeStream* s, LzhDecoderState* st)
{
    s->free(s->opaque, st->lengths);
    st->lengths = nullptr;
    st->codeMode = CODE_START;
    st->mode = CODES;
}

// Runs the block state machine until it needs input or output, ends, or
// finds corrupt data.
int Run(LzhDecodeStream* s, LzhDecoderState* st)
{
    for (;;) {
        switch (st->mode) {
        case BLOCK_COUNT:
            if (st->lengths == nullptr) {
                st->lengths = static_cast<unsigned char*>(s->alloc(s->opaque, kCSymbols, 1));
                if (st->lengths == nullptr)
                    return LZH_MEM_ERROR;
            }
            if (!NeedBits(s, st, 16))
                return STEP_WAIT;
            st->blockCodes = PeekBits(st, 16);
            DropBits(st, 16);
            st->mode = T_COUNT;
            break;

        case T_COUNT: {
            if (!NeedBits(s, st, 5))
                return STEP_WAIT;
            unsigned n = PeekBits(st, 5);
            DropBits(st, 5);
            if (n > kTSymbols)
                return Fail(s, st, nullptr);
            if (n == 0) {
                st->mode = T_SINGLE;
            } else {
                BeginLengths(st, n);
                st->mode = T_LENGTHS;
            }
            break;
        }
        case T_SINGLE:
            if (!NeedBits(s, st, 5))
                return STEP_WAIT;
            BuildSingle(st->area, TableKind::T, PeekBits(st, 5));
            DropBits(st, 5);
            st->tTable = st->area;
            st->tBits = 1;
            st->mode = C_COUNT;
            break;
        case T_LENGTHS: {
            int r = ReadShortLengths(s, st, true);
            if (r != STEP_DONE)
                return r;
            if (st->mode == T_SKIP)
                break;
            unsigned used;
            BuildResult b = BuildTable(st->lengths, kTSymbols, kTRootBits, TableKind::T, st->area, kTableArea, &used);
            if (b == BUILD_OVERSUBSCRIBED)
                return Fail(s, st, kLzhOversubscribedBits);
            if (b != BUILD_OK)
                return Fail(s, st, kLzhIncompleteBits);
            st->tTable = st->area;
            st->tBits = kTRootBits;
            st->mode = C_COUNT;
            break;
        }
        case T_SKIP:
            if (!NeedBits(s, st, 2))
                return STEP_WAIT;
            st->tableIndex += PeekBits(st, 2);  // the skipped lengths are already 0
            DropBits(st, 2);
            st->mode = T_LENGTHS;
            break;

        case C_COUNT: {
            if (!NeedBits(s, st, 9))
                return STEP_WAIT;
            unsigned n = PeekBits(st, 9);
            DropBits(st, 9);
            if (n > kCSymbols)
                return Fail(s, st, kLzhTooManySymbols);
            if (n == 0) {
                st->mode = C_SINGLE;
            } else {
                BeginLengths(st, n);
                st->mode = C_LENGTHS;
            }
            break;
        }
        case C_SINGLE: {
            if (!NeedBits(s, st, 9))
                return STEP_WAIT;
            unsigned c = PeekBits(st, 9);
            DropBits(st, 9);
            if (c >= kCSymbols)
                return Fail(s, st, kLzhInvalidLengthCode);  // past the length table
            BuildSingle(st->area, TableKind::C, c);
            st->cTable = st->area;
            st->cBits = 1;
            st->areaUsed = 2;
            st->mode = P_COUNT;
            break;
        }
        case C_LENGTHS: {
            while (st->tableIndex < st->tableCount) {
                if (st->pendingRun != 0) {
                    unsigned bits = st->pendingRun;
                    if (!NeedBits(s, st, bits))
                        return STEP_WAIT;
                    unsigned run = PeekBits(st, bits) + (bits == 4 ? 3 : 20);
                    DropBits(st, bits);
                    st->pendingRun = 0;
                    if (run > st->tableCount - st->tableIndex)
                        return Fail(s, st, kLzhInvalidRepeat);
                    st->tableIndex += run;  // lengths are already 0
                    continue;
                }
                Entry e;
                if (!LookupCode(s, st, st->tTable, st->tBits, &e))
                    return STEP_WAIT;
                if (!(e & kSymbolFlag))
                    return Fail(s, st, nullptr);
                const unsigned symbol = EntryValue(e);
                if (symbol == 0) {
                    st->lengths[st->tableIndex++] = 0;
                } else if (symbol == 1) {
                    st->pendingRun = 4;
                } else if (symbol == 2) {
                    st->pendingRun = 9;
                } else {
                    unsigned len = symbol - 2;
                    if (len > kMaxCodeLength)
                        return Fail(s, st, nullptr);
                    st->lengths[st->tableIndex++] = static_cast<unsigned char>(len);
                }
            }
            unsigned used;
            BuildResult b =
                BuildTable(st->lengths, st->tableCount, kCRootBits, TableKind::C, st->area, kTableArea, &used);
            if (b == BUILD_OVERSUBSCRIBED)
                return Fail(s, st, kLzhOversubscribedLengths);
            if (b != BUILD_OK)
                return Fail(s, st, kLzhIncompleteLengths);
            st->cTable = st->area;
            st->cBits = kCRootBits;
            st->areaUsed = used;
            st->mode = P_COUNT;
            break;
        }

        case P_COUNT: {
            if (!NeedBits(s, st, 4))
                return STEP_WAIT;
            unsigned n = PeekBits(st, 4);
            DropBits(st, 4);
            if (n > kPSymbols)
                return Fail(s, st, kLzhTooManySymbols);
            if (n == 0) {
                st->mode = P_SINGLE;
            } else {
                BeginLengths(st, n);
                st->mode = P_LENGTHS;
            }
            break;
        }
        case P_SINGLE: {
            if (!NeedBits(s, st, 4))
                return STEP_WAIT;
            unsigned c = PeekBits(st, 4);
            DropBits(st, 4);
            if (c >= kPSymbols)
                return Fail(s, st, kLzhInvalidDistanceCode);  // past the distance table
            if (kTableArea - st->areaUsed < 2)
                return Fail(s, st, nullptr);
            Entry* table = st->area + st->areaUsed;
            BuildSingle(table, TableKind::P, c, st->windowBits);
            st->pTable = table;
            st->pBits = 1;
            BeginCodes(s, st);
            break;
        }
        case P_LENGTHS: {
            int r = ReadShortLengths(s, st, false);
            if (r != STEP_DONE)
                return r;
            Entry* table = st->area + st->areaUsed;
            unsigned used;
            BuildResult b = BuildTable(st->lengths, st->tableCount, kPRootBits, TableKind::P, table,
                                       kTableArea - st->areaUsed, &used, st->windowBits);
            if (b == BUILD_OVERSUBSCRIBED)
                return Fail(s, st, nullptr);
            // All lengths 0 leave no table to decode positions with.
            if (b != BUILD_OK)
                return Fail(s, st, kLzhIncompleteDistances);
            st->pBits = kPRootBits;
            st->pTable = table;
            BeginCodes(s, st);
            break;
        }

        case CODES: {
            int r = DecodeCodes(s, st);
            if (r != STEP_DONE)
                return r;
            st->mode = s->compressedLeft > 0 ? BLOCK_COUNT : FLUSH;
            break;
        }
        case FLUSH:
            Deliver(s, st);
            if (st->readPos != st->writePos)
                return STEP_WAIT;
            st->mode = DONE;
            break;
        case DONE:
            return STEP_DONE;
        case BAD:
            return STEP_BAD;
        }
    }
}

}  // namespace

int DecoderInit(LzhDecodeStream* stream, int windowBits, const char* version, int recordSize)
{
    if (version == nullptr || version[0] != LZH_DECODER_VERSION[0] ||
        recordSize != static_cast<int>(sizeof(LzhDecodeStream)))
        return LZH_VERSION_ERROR;
    if (stream == nullptr)
        return LZH_STREAM_ERROR;
    stream->message = nullptr;
    stream->state = nullptr;
    // Only the plain stream exists; the magnitude gives the window size.
    if (windowBits >= 0 || -windowBits < static_cast<int>(kMinWindowBits) ||
        -windowBits > static_cast<int>(kMaxWindowBits))
        return LZH_STREAM_ERROR;
    const unsigned bits = static_cast<unsigned>(-windowBits);
    const uint32_t windowSize = 1u << bits;
    if (stream->alloc == nullptr) {
        stream->alloc = DefaultAlloc;
        stream->opaque = nullptr;
    }
    if (stream->free == nullptr)
        stream->free = DefaultFree;

    LzhDecoderState* st = static_cast<LzhDecoderState*>(stream->alloc(stream->opaque, 1, sizeof(LzhDecoderState)));
    if (st == nullptr)
        return LZH_MEM_ERROR;
    std::memset(st, 0, sizeof *st);
    st->window = static_cast<unsigned char*>(stream->alloc(stream->opaque, windowSize + kWindowSlack, 1));
    st->area = static_cast<Entry*>(stream->alloc(stream->opaque, kTableArea, sizeof(Entry)));
    if (st->window == nullptr || st->area == nullptr) {
        if (st->window != nullptr)
            stream->free(stream->opaque, st->window);
        if (st->area != nullptr)
            stream->free(stream->opaque, st->area);
        stream->free(stream->opaque, st);
        return LZH_MEM_ERROR;
    }
    // A match reaching before the first byte reads zeros, whatever the
    // allocator returned.
    std::memset(st->window, 0, windowSize + kWindowSlack);
    st->windowSize = windowSize;
    st->windowBits = bits;
    st->mode = BLOCK_COUNT;
    st->codeMode = CODE_START;
    stream->state = st;
    stream->totalIn = 0;
    stream->totalOut = 0;
    return LZH_OK;
}

int Decode(LzhDecodeStream* stream, int /*flush*/)
{
    if (stream == nullptr || stream->state == nullptr || (stream->nextIn == nullptr && stream->availIn != 0) ||
        (stream->nextOut == nullptr && stream->availOut != 0))
        return LZH_STREAM_ERROR;
    LzhDecoderState* st = stream->state;
    if (st->mode == BAD)
        return LZH_DATA_ERROR;
    st->progress = false;
    int r = Run(stream, st);
    if (r == LZH_MEM_ERROR)
        return LZH_MEM_ERROR;
    // Before every return the window gives what it can.
    if (st->mode != DONE)
        Deliver(stream, st);
    if (r == STEP_BAD)
        return LZH_DATA_ERROR;
    if (r == STEP_DONE)
        return LZH_STREAM_END;
    return st->progress ? LZH_OK : LZH_BUF_ERROR;
}

int DecoderEnd(LzhDecodeStream* stream)
{
    if (stream == nullptr || stream->state == nullptr || stream->free == nullptr)
        return LZH_STREAM_ERROR;
    LzhDecoderState* st = stream->state;
    if (st->lengths != nullptr)
        stream->free(stream->opaque, st->lengths);
    stream->free(stream->opaque, st->area);
    stream->free(stream->opaque, st->window);
    stream->free(stream->opaque, st);
    stream->state = nullptr;
    return LZH_OK;
}
