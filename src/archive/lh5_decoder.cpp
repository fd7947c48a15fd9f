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

constexpr uint32_t kWindowSize = 1u << 13;
constexpr uint32_t kWindowMask = kWindowSize - 1;
constexpr uint32_t kWindowSlack = 8;  // lets the fast copy store whole 8-byte chunks at the end
constexpr unsigned kTableArea = 1440;  // entries shared by the tables of one block
constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kTSymbols = 19, kCSymbols = 510, kPSymbols = 14;
constexpr unsigned kTRootBits = 7, kCRootBits = 9, kPRootBits = 6;
constexpr unsigned kMaxMatch = 256;
// The fast path wants room for a whole match and enough input for a whole
// code (C code, P code, extra bits) plus an 8-byte refill.
constexpr uint32_t kFastWindowRoom = kMaxMatch + 2;
constexpr uint32_t kFastInput = 10;

// Lookup-table entry.
enum : uint8_t {
    OP_SYMBOL,   // T symbol, C literal, P distance base (extra = extra-bit count)
    OP_MATCH,    // C match; value = length
    OP_LINK,     // sub-table at value, indexed by the next `extra` bits
    OP_INVALID,  // unused code of an incomplete table, or out-of-range symbol
};

struct TableEntry {
    uint8_t op;
    uint8_t bits;   // bits consumed at this level
    uint8_t extra;  // P: extra bits; link: sub-table index bits
    uint8_t unused;
    uint32_t value;
};

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
    uint32_t readPos;   // next byte to deliver
    uint32_t writePos;  // next byte to produce; kWindowSize only while readPos is 0

    uint32_t bitBuffer;  // valid bits at the top, zeros below
    unsigned bitCount;

    int mode;
    uint32_t blockCodes;   // codes left in the block
    unsigned tableCount;   // n of the table being read
    unsigned tableIndex;   // next length to read
    unsigned partialLength; // 7.. while a long T/P length is being read
    unsigned pendingRun;   // C lengths: 4 or 9 when a zero-run count is due
    unsigned char* lengths; // kCSymbols, only while a block's tables are read
    TableEntry* area;       // kTableArea
    unsigned areaUsed;

    int codeMode;
    const TableEntry* tTable;
    const TableEntry* cTable;
    const TableEntry* pTable;
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

void FillSymbol(TableEntry& e, TableKind kind, unsigned symbol, unsigned bits)
{
    e.bits = static_cast<uint8_t>(bits);
    e.extra = 0;
    e.unused = 0;
    switch (kind) {
    case TableKind::T:
        e.op = OP_SYMBOL;
        e.value = symbol;
        break;
    case TableKind::C:
        if (symbol >= kCSymbols) {
            e.op = OP_INVALID;
            e.value = 0;
        } else if (symbol < 256) {
            e.op = OP_SYMBOL;
            e.value = symbol;
        } else {
            e.op = OP_MATCH;
            e.value = symbol - 256 + 3;
        }
        break;
    case TableKind::P:
        if (symbol >= kPSymbols) {
            e.op = OP_INVALID;
            e.value = 0;
        } else if (symbol < 2) {
            e.op = OP_SYMBOL;
            e.value = symbol + 1;
        } else {
            e.op = OP_SYMBOL;
            e.value = (1u << (symbol - 1)) + 1;
            e.extra = static_cast<uint8_t>(symbol - 1);
        }
        break;
    }
}

const TableEntry kInvalidEntry = {OP_INVALID, 0, 0, 0, 0};

// A table whose every lookup yields symbol and takes no bits: two entries
// under a one-bit root.
void BuildSingle(TableEntry* area, TableKind kind, unsigned symbol)
{
    FillSymbol(area[0], kind, symbol, 0);
    area[1] = area[0];
}

// Canonical prefix code from lengths[0..n): root table of 2^rootBits
// entries at area, then one sub-table per root prefix of longer codes
// (link values are offsets from area).
BuildResult BuildTable(const unsigned char* lengths, unsigned n, unsigned rootBits, TableKind kind,
                       TableEntry* area, unsigned capacity, unsigned* used)
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

    unsigned nextCode[kMaxCodeLength + 2];
    unsigned code = 0;
    count[0] = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        code = (code + count[len - 1]) << 1;
        nextCode[len] = code;
    }

    const unsigned rootSize = 1u << rootBits;
    // Longest code under each root prefix decides that sub-table's size.
    unsigned char subLength[1u << kCRootBits] = {};
    unsigned codes[kCSymbols];
    {
        unsigned next[kMaxCodeLength + 2];
        std::memcpy(next, nextCode, sizeof next);
        for (unsigned s = 0; s < n; ++s) {
            unsigned len = lengths[s];
            if (len == 0)
                continue;
            codes[s] = next[len]++;
            if (len > rootBits) {
                unsigned prefix = codes[s] >> (len - rootBits);
                if (len > subLength[prefix])
                    subLength[prefix] = static_cast<unsigned char>(len);
            }
        }
    }
    unsigned subOffset[1u << kCRootBits];
    unsigned total = rootSize;
    for (unsigned p = 0; p < rootSize; ++p) {
        if (subLength[p] != 0) {
            subOffset[p] = total;
            total += 1u << (subLength[p] - rootBits);
        }
    }
    if (total > capacity)
        return BUILD_OVERSUBSCRIBED;

    for (unsigned i = 0; i < total; ++i)
        area[i] = kInvalidEntry;
    for (unsigned p = 0; p < rootSize; ++p) {
        if (subLength[p] != 0) {
            TableEntry& link = area[p];
            link.op = OP_LINK;
            link.bits = static_cast<uint8_t>(rootBits);
            link.extra = static_cast<uint8_t>(subLength[p] - rootBits);
            link.value = subOffset[p];
        }
    }
    for (unsigned s = 0; s < n; ++s) {
        unsigned len = lengths[s];
        if (len == 0)
            continue;
        TableEntry e;
        if (len <= rootBits) {
            FillSymbol(e, kind, s, len);
            unsigned start = codes[s] << (rootBits - len);
            unsigned span = 1u << (rootBits - len);
            for (unsigned i = 0; i < span; ++i)
                area[start + i] = e;
        } else {
            unsigned prefix = codes[s] >> (len - rootBits);
            unsigned subBits = subLength[prefix] - rootBits;
            unsigned low = codes[s] & ((1u << (len - rootBits)) - 1);
            FillSymbol(e, kind, s, len - rootBits);
            unsigned start = subOffset[prefix] + (low << (subBits - (len - rootBits)));
            unsigned span = 1u << (subBits - (len - rootBits));
            for (unsigned i = 0; i < span; ++i)
                area[start + i] = e;
        }
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
// buffer untouched in that case so the lookup can be repeated.
bool LookupCode(LzhDecodeStream* s, LzhDecoderState* st, const TableEntry* table, unsigned rootBits,
                TableEntry* out)
{
    if (!NeedBits(s, st, rootBits))
        return false;
    TableEntry e = table[PeekBits(st, rootBits)];
    if (e.op == OP_LINK) {
        if (!NeedBits(s, st, rootBits + e.extra))
            return false;
        uint32_t index = (st->bitBuffer << rootBits) >> (32 - e.extra);
        TableEntry sub = table[e.value + index];
        DropBits(st, rootBits + sub.bits);
        *out = sub;
        return true;
    }
    DropBits(st, e.bits);
    *out = e;
    return true;
}

// Copies undelivered window bytes to the output, up to availOut, in at most
// two pieces.
void Deliver(LzhDecodeStream* s, LzhDecoderState* st)
{
    for (int piece = 0; piece < 2; ++piece) {
        uint32_t end = st->writePos >= st->readPos ? st->writePos : kWindowSize;
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
        if (st->readPos != kWindowSize)
            break;
        st->readPos = 0;
        if (st->writePos == kWindowSize)
            st->writePos = 0;
    }
    if (st->writePos == kWindowSize && st->readPos != 0)
        st->writePos = 0;  // wrap: everything before the read position is free
}

// Contiguous bytes that may be written at writePos without reaching
// undelivered bytes.
inline uint32_t WindowRoom(const LzhDecoderState* st)
{
    return st->writePos < st->readPos ? st->readPos - st->writePos - 1 : kWindowSize - st->writePos;
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

// Decodes whole codes while the block has codes left, a whole match fits in
// the window and enough input is there. Works on a 64-bit local buffer and
// gives back every whole byte it took but did not use.
FastResult DecodeFast(LzhDecodeStream* s, LzhDecoderState* st)
{
    uint32_t avail = s->availIn < s->compressedLeft ? s->availIn : s->compressedLeft;
    const unsigned char* const start = s->nextIn;
    const unsigned char* in = start;
    const unsigned char* const inLimit = start + avail - 8;  // last position an 8-byte load may start
    unsigned char* const window = st->window;
    const TableEntry* const cTable = st->cTable;
    const TableEntry* const pTable = st->pTable;
    const unsigned cBits = st->cBits;
    const unsigned pBits = st->pBits;
    uint32_t q = st->writePos;
    const uint32_t limit = (q < st->readPos ? st->readPos - 1 : kWindowSize) - kFastWindowRoom;
    uint32_t codes = st->blockCodes;
    uint64_t bb = static_cast<uint64_t>(st->bitBuffer) << 32;
    unsigned bc = st->bitCount;
    FastResult result = FAST_STOPPED;

    while (codes != 0 && q <= limit && in <= inLimit) {
        bb |= LoadBigEndian64(in) >> bc;
        in += (63 - bc) >> 3;
        bc |= 56;

        TableEntry e = cTable[Top(bb, cBits)];
        if (e.op == OP_LINK) {
            bb <<= cBits;
            bc -= cBits;
            e = cTable[e.value + Top(bb, e.extra)];
        }
        if (e.op == OP_SYMBOL) {
            bb <<= e.bits;
            bc -= e.bits;
            window[q++] = static_cast<unsigned char>(e.value);
            --codes;
            // A second literal needs at most 16 more bits, which are there.
            if (codes != 0 && bc >= 16) {
                e = cTable[Top(bb, cBits)];
                if (e.op == OP_SYMBOL) {
                    bb <<= e.bits;
                    bc -= e.bits;
                    window[q++] = static_cast<unsigned char>(e.value);
                    --codes;
                }
            }
            continue;
        }
        if (e.op != OP_MATCH) {
            result = FAST_BAD_LENGTH;
            break;
        }
        bb <<= e.bits;
        bc -= e.bits;
        --codes;
        uint32_t length = e.value;

        e = pTable[Top(bb, pBits)];
        if (e.op == OP_LINK) {
            bb <<= pBits;
            bc -= pBits;
            e = pTable[e.value + Top(bb, e.extra)];
        }
        if (e.op != OP_SYMBOL) {
            result = FAST_BAD_DISTANCE;
            break;
        }
        bb <<= e.bits;
        bc -= e.bits;
        uint32_t distance = e.value + Top(bb, e.extra);
        bb <<= e.extra;
        bc -= e.extra;

        unsigned char* out = window + q;
        if (distance <= q) {
            const unsigned char* from = out - distance;
            if (distance >= 8) {
                // Whole 8-byte chunks may run past the match; the bytes there
                // are still dictionary, so they are put back afterwards. The
                // chunks never read them: each reads 8 or more bytes behind.
                uint64_t after;
                std::memcpy(&after, out + length, 8);
                unsigned char* end = out + length;
                do {
                    uint64_t chunk;
                    std::memcpy(&chunk, from, 8);
                    std::memcpy(out, &chunk, 8);
                    from += 8;
                    out += 8;
                } while (out < end);
                std::memcpy(end, &after, 8);
            } else if (distance == 1) {
                std::memset(out, out[-1], length);
            } else {
                for (uint32_t i = 0; i < length; ++i)
                    out[i] = from[i];
            }
        } else {
            // The source starts behind the window's start: it wraps.
            uint32_t from = q - distance;
            for (uint32_t i = 0; i < length; ++i)
                out[i] = window[(from + i) & kWindowMask];
        }
        q += length;
    }

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
            if (avail >= kFastInput && WindowRoom(st) >= kFastWindowRoom) {
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
            TableEntry e;
            if (!LookupCode(s, st, st->cTable, st->cBits, &e))
                return STEP_WAIT;
            --st->blockCodes;
            if (e.op == OP_SYMBOL) {
                st->length = e.value;
                st->codeMode = CODE_LITERAL;
            } else if (e.op == OP_MATCH) {
                st->length = e.value;
                st->codeMode = CODE_DISTANCE;
            } else {
                return Fail(s, st, kLzhInvalidLengthCode);
            }
            break;
        }
        case CODE_LITERAL:
            if (MakeRoom(s, st) == 0)
                return STEP_WAIT;
            st->window[st->writePos++] = static_cast<unsigned char>(st->length);
            st->codeMode = CODE_START;
            break;
        case CODE_DISTANCE: {
            TableEntry e;
            if (!LookupCode(s, st, st->pTable, st->pBits, &e))
                return STEP_WAIT;
            if (e.op != OP_SYMBOL)
                return Fail(s, st, kLzhInvalidDistanceCode);
            st->distance = e.value;
            st->distanceExtra = e.extra;
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
                    st->window[q + i] = st->window[(from + i) & kWindowMask];
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
                TableEntry e;
                if (!LookupCode(s, st, st->tTable, st->tBits, &e))
                    return STEP_WAIT;
                if (e.op != OP_SYMBOL)
                    return Fail(s, st, nullptr);
                if (e.value == 0) {
                    st->lengths[st->tableIndex++] = 0;
                } else if (e.value == 1) {
                    st->pendingRun = 4;
                } else if (e.value == 2) {
                    st->pendingRun = 9;
                } else {
                    unsigned len = e.value - 2;
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
            TableEntry* table = st->area + st->areaUsed;
            BuildSingle(table, TableKind::P, c);
            st->pTable = table;
            st->pBits = 1;
            BeginCodes(s, st);
            break;
        }
        case P_LENGTHS: {
            int r = ReadShortLengths(s, st, false);
            if (r != STEP_DONE)
                return r;
            TableEntry* table = st->area + st->areaUsed;
            unsigned used;
            BuildResult b = BuildTable(st->lengths, st->tableCount, kPRootBits, TableKind::P, table,
                                       kTableArea - st->areaUsed, &used);
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
    // Only the plain stream exists; the lh5 window is always 8 KB.
    if (windowBits >= 0 || -windowBits < 8 || -windowBits > 15)
        return LZH_STREAM_ERROR;
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
    st->window = static_cast<unsigned char*>(stream->alloc(stream->opaque, kWindowSize + kWindowSlack, 1));
    st->area = static_cast<TableEntry*>(stream->alloc(stream->opaque, kTableArea, sizeof(TableEntry)));
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
    std::memset(st->window, 0, kWindowSize + kWindowSlack);
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
