#include "lh5_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace lzhpack {
namespace {

constexpr int kWindow = 1 << 13;          // farthest distance a match may reach
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = kLh5MaxMatch;
constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;  // 510: literals, then lengths
constexpr int kNT = 19;
constexpr int kNP = 14;
constexpr int kTBits = 5;
constexpr int kCBits = 9;
constexpr int kPBits = 4;
constexpr int kMaxCodeLength = 16;
constexpr std::size_t kMaxBlockCodes = 65535;   // the block count is 16 bits
constexpr std::size_t kMinSplitCodes = 512;     // smaller blocks are not worth their tables
constexpr std::size_t kChunk = 256 * 1024;      // bytes parsed together
constexpr int kHashBits = 16;
constexpr int kChainMask = 2 * kWindow - 1;

struct Symbol {
    std::uint16_t code;  // < 256 literal, else 256 + length - 3
    std::uint16_t dist;  // 1..8192 for matches
};

struct Match {
    std::uint16_t len;
    std::uint16_t dist;
};

// Bits needed for v (0 for 0).
int BitLength(unsigned v) {
#if defined(__GNUC__)
    return v ? 32 - __builtin_clz(v) : 0;
#else
    int n = 0;
    for (; v; v >>= 1) ++n;
    return n;
#endif
}

// The P symbol of a distance: the bit length of dist - 1.
int PositionSlot(int dist) { return BitLength(static_cast<unsigned>(dist - 1)); }

// log2(x) for x >= 1 in 1/4096 bits, within 1/180 bit, by integer arithmetic
// alone: C runtimes differ in their log2, and every build must make the same
// choices from it.
class FixedLog2 {
public:
    static constexpr int kFractionBits = 12;
    FixedLog2() {
        for (std::uint32_t i = 0; i < 256; ++i) fraction_[i] = Fraction(std::uint64_t(256 + i) << 23);
    }
    std::uint32_t operator()(std::uint32_t x) const {
        int e = BitLength(x) - 1;
        std::uint32_t top = (e >= 8 ? x >> (e - 8) : x << (8 - e)) & 0xFF;
        return (std::uint32_t(e) << kFractionBits) + fraction_[top];
    }

private:
    // The fraction bits of log2(m / 2^31), m in [2^31, 2^32), by squaring.
    static std::uint16_t Fraction(std::uint64_t m) {
        std::uint16_t f = 0;
        for (int bit = kFractionBits - 1; bit >= 0; --bit) {
            m = (m * m) >> 31;
            if (m >= (std::uint64_t(1) << 32)) {
                m >>= 1;
                f |= 1u << bit;
            }
        }
        return f;
    }
    std::uint16_t fraction_[256];
};

const FixedLog2& Log2() {
    static const FixedLog2 table;
    return table;
}

int SlotExtraBits(int slot) { return slot >= 2 ? slot - 1 : 0; }

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(int count, std::uint32_t value) {
        if (count == 0) return;
        acc_ = (acc_ << count) | (value & ((count >= 32) ? 0xFFFFFFFFu : ((1u << count) - 1)));
        bits_ += count;
        while (bits_ >= 8) {
            bits_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> bits_));
        }
    }
    void Flush() {
        if (bits_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - bits_)));
        bits_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
};

// Code lengths limited to maxLength for n (<= kNC) symbols; unused ones get
// 0, a lone used one 1. Works on the stack: block planning calls it often.
void BuildLengths(const std::uint32_t* freqs, int n, int maxLength, std::uint8_t* lens) {
    // Used symbols by ascending weight, ties by symbol: one key per symbol
    // (weight above, symbol below) sorts fast and the same everywhere.
    std::uint64_t keys[kNC];
    int m = 0;
    for (int s = 0; s < n; ++s) {
        lens[s] = 0;
        if (freqs[s]) keys[m++] = std::uint64_t(freqs[s]) << 32 | unsigned(s);
    }
    if (m == 0) return;
    if (m == 1) {
        lens[keys[0] & 0xFFFFFFFFu] = 1;
        return;
    }
    std::sort(keys, keys + m);
    // Two-queue Huffman: leaves 0..m-1 in ascending weight, internal nodes after.
    std::uint64_t w[2 * kNC];
    int parent[2 * kNC];
    for (int i = 0; i < m; ++i) w[i] = keys[i] >> 32;
    int leaf = 0, inner = m;
    for (int next = m; next < 2 * m - 1; ++next) {
        int pick[2];
        for (int& p : pick) {
            if (leaf < m && (inner >= next || w[leaf] <= w[inner]))
                p = leaf++;
            else
                p = inner++;
        }
        w[next] = w[pick[0]] + w[pick[1]];
        parent[pick[0]] = parent[pick[1]] = next;
    }
    int depth[2 * kNC];
    depth[2 * m - 2] = 0;
    for (int k = 2 * m - 3; k >= 0; --k) depth[k] = depth[parent[k]] + 1;

    // Limit the depth: clamp, then restore a complete code (Kraft sum 1).
    int count[kMaxCodeLength + 1] = {};
    for (int i = 0; i < m; ++i) ++count[std::min(depth[i], maxLength)];
    std::uint64_t total = 0;
    for (int l = 1; l <= maxLength; ++l) total += std::uint64_t(count[l]) << (maxLength - l);
    while (total > (std::uint64_t(1) << maxLength)) {
        --count[maxLength];
        for (int l = maxLength - 1; l > 0; --l) {
            if (count[l]) {
                --count[l];
                count[l + 1] += 2;
                break;
            }
        }
        --total;
    }
    // Longest codes to the rarest symbols.
    int i = 0;
    for (int l = maxLength; l >= 1; --l)
        for (int k = 0; k < count[l]; ++k) lens[keys[i++] & 0xFFFFFFFFu] = static_cast<std::uint8_t>(l);
}

template <std::size_t N>
std::array<std::uint16_t, N> CanonicalCodes(const std::array<std::uint8_t, N>& lens) {
    std::array<int, kMaxCodeLength + 2> count{};
    for (std::uint8_t l : lens) ++count[l];
    count[0] = 0;
    std::array<std::uint32_t, kMaxCodeLength + 2> next{};
    std::uint32_t code = 0;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::array<std::uint16_t, N> codes{};
    for (std::size_t s = 0; s < N; ++s)
        if (lens[s]) codes[s] = static_cast<std::uint16_t>(next[lens[s]]++);
    return codes;
}

// Bits taken by one length in a T or P length list.
int PtLengthBits(int len) { return len <= 6 ? 3 : len - 3; }

template <std::size_t N>
int TrimmedCount(const std::array<std::uint8_t, N>& lens) {
    int n = static_cast<int>(N);
    while (n > 0 && lens[n - 1] == 0) --n;
    return n;
}

// Walks the C lengths as T symbols: fn(tSymbol, extraBitCount, extraValue).
template <typename Fn>
void ForEachCLengthToken(const std::uint8_t* cLen, int n, Fn fn) {
    int i = 0;
    while (i < n) {
        int k = cLen[i++];
        if (k != 0) {
            fn(k + 2, 0, 0);
            continue;
        }
        int run = 1;
        while (i < n && cLen[i] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            for (int r = 0; r < run; ++r) fn(0, 0, 0);
        } else if (run <= 18) {
            fn(1, 4, run - 3);
        } else if (run == 19) {
            fn(0, 0, 0);
            fn(1, 4, 15);
        } else {
            fn(2, kCBits, run - 20);
        }
    }
}

// Everything needed to write one block's tables and codes.
struct BlockPlan {
    int cSingle = -1;  // >= 0: the only C symbol
    int pSingle = -1;  // >= 0: the only P symbol (0 when there are no matches)
    int tSingle = -1;
    int cCount = 0, tCount = 0, pCount = 0;  // transmitted counts
    std::array<std::uint8_t, kNC> cLen{};
    std::array<std::uint8_t, kNP> pLen{};
    std::array<std::uint8_t, kNT> tLen{};
    std::uint64_t bits = 0;  // whole block size in bits
};

using CFreq = std::array<std::uint32_t, kNC>;
using PFreq = std::array<std::uint32_t, kNP>;

int PtTableBits(const std::uint8_t* lens, int n, int nbit, bool special) {
    int bits = nbit;
    for (int i = 0; i < n;) {
        bits += PtLengthBits(lens[i++]);
        if (special && i == 3) {
            bits += 2;
            while (i < 6 && i < n && lens[i] == 0) ++i;
        }
    }
    return bits;
}

BlockPlan MakePlan(const CFreq& cFreq, const PFreq& pFreq) {
    BlockPlan plan;
    std::uint64_t bits = 16;
    const CFreq& cf = cFreq;
    const PFreq& pf = pFreq;
    int cUsed = 0, pUsed = 0;
    for (int s = 0; s < kNC; ++s)
        if (cf[s]) {
            ++cUsed;
            plan.cSingle = s;
        }
    for (int s = 0; s < kNP; ++s)
        if (pf[s]) {
            ++pUsed;
            plan.pSingle = s;
        }
    if (cUsed != 1) plan.cSingle = -1;
    if (pUsed == 0) plan.pSingle = 0;
    if (pUsed > 1) plan.pSingle = -1;

    if (plan.cSingle >= 0) {
        bits += kTBits * 2 + kCBits * 2;
    } else {
        BuildLengths(cf.data(), kNC, kMaxCodeLength, plan.cLen.data());
        plan.cCount = TrimmedCount(plan.cLen);
        std::uint32_t tf[kNT] = {};
        std::uint64_t extra = 0;
        ForEachCLengthToken(plan.cLen.data(), plan.cCount, [&](int t, int eb, int) {
            ++tf[t];
            extra += eb;
        });
        int tUsed = 0;
        for (int s = 0; s < kNT; ++s)
            if (tf[s]) {
                ++tUsed;
                plan.tSingle = s;
            }
        if (tUsed == 1) {
            bits += kTBits * 2 + extra;
        } else {
            plan.tSingle = -1;
            BuildLengths(tf, kNT, kMaxCodeLength, plan.tLen.data());
            plan.tCount = TrimmedCount(plan.tLen);
            // Some readers take the 2-bit zero run even when only three lengths
            // follow; a fourth (zero) length keeps every reader in step.
            if (plan.tCount == 3) plan.tCount = 4;
            bits += PtTableBits(plan.tLen.data(), plan.tCount, kTBits, true);
            for (int s = 0; s < kNT; ++s) bits += std::uint64_t(tf[s]) * plan.tLen[s];
            bits += extra;
        }
        bits += kCBits;
        for (int s = 0; s < kNC; ++s) bits += std::uint64_t(cf[s]) * plan.cLen[s];
    }

    if (plan.pSingle >= 0) {
        bits += kPBits * 2;
    } else {
        BuildLengths(pf.data(), kNP, kMaxCodeLength, plan.pLen.data());
        plan.pCount = TrimmedCount(plan.pLen);
        bits += PtTableBits(plan.pLen.data(), plan.pCount, kPBits, false);
        for (int s = 0; s < kNP; ++s) bits += std::uint64_t(pf[s]) * plan.pLen[s];
    }
    for (int s = 0; s < kNP; ++s) bits += std::uint64_t(pf[s]) * SlotExtraBits(s);
    plan.bits = bits;
    return plan;
}

void WritePtLengths(BitWriter& bw, const std::uint8_t* lens, int n, int nbit,
                    bool special) {
    bw.Put(nbit, n);
    for (int i = 0; i < n;) {
        int k = lens[i++];
        if (k <= 6)
            bw.Put(3, k);
        else
            bw.Put(k - 3, (1u << (k - 3)) - 2);
        if (special && i == 3) {
            int j = i;
            while (j < 6 && j < n && lens[j] == 0) ++j;
            bw.Put(2, j - i);
            i = j;
        }
    }
}

void EmitBlock(BitWriter& bw, const Symbol* syms, std::size_t count, const BlockPlan& plan) {
    bw.Put(16, static_cast<std::uint32_t>(count));
    std::array<std::uint16_t, kNC> cCode{};
    std::array<std::uint16_t, kNP> pCode{};
    if (plan.cSingle >= 0) {
        bw.Put(kTBits, 0);
        bw.Put(kTBits, 0);
        bw.Put(kCBits, 0);
        bw.Put(kCBits, plan.cSingle);
    } else {
        std::array<std::uint16_t, kNT> tCode{};
        if (plan.tSingle >= 0) {
            bw.Put(kTBits, 0);
            bw.Put(kTBits, plan.tSingle);
        } else {
            WritePtLengths(bw, plan.tLen.data(), plan.tCount, kTBits, true);
            tCode = CanonicalCodes(plan.tLen);
        }
        bw.Put(kCBits, plan.cCount);
        ForEachCLengthToken(plan.cLen.data(), plan.cCount, [&](int t, int eb, int ev) {
            if (plan.tSingle < 0) bw.Put(plan.tLen[t], tCode[t]);
            bw.Put(eb, ev);
        });
        cCode = CanonicalCodes(plan.cLen);
    }
    if (plan.pSingle >= 0) {
        bw.Put(kPBits, 0);
        bw.Put(kPBits, plan.pSingle);
    } else {
        WritePtLengths(bw, plan.pLen.data(), plan.pCount, kPBits, false);
        pCode = CanonicalCodes(plan.pLen);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Symbol& s = syms[i];
        if (plan.cSingle < 0) bw.Put(plan.cLen[s.code], cCode[s.code]);
        if (s.code < 256) continue;
        int slot = PositionSlot(s.dist);
        if (plan.pSingle < 0) bw.Put(plan.pLen[slot], pCode[slot]);
        if (slot >= 2) bw.Put(slot - 1, (s.dist - 1) - (1u << (slot - 1)));
    }
}

void AddSymbol(CFreq& c, PFreq& p, const Symbol& s) {
    ++c[s.code];
    if (s.code >= 256) ++p[PositionSlot(s.dist)];
}

void Histogram(const Symbol* syms, std::size_t n, CFreq& c, PFreq& p) {
    c.fill(0);
    p.fill(0);
    for (std::size_t i = 0; i < n; ++i) AddSymbol(c, p, syms[i]);
}

struct Histograms {
    CFreq c;
    PFreq p;
};

Histograms Difference(const Histograms& whole, const Histograms& part) {
    Histograms d;
    for (int s = 0; s < kNC; ++s) d.c[s] = whole.c[s] - part.c[s];
    for (int s = 0; s < kNP; ++s) d.p[s] = whole.p[s] - part.p[s];
    return d;
}

// A quick guess at a block's size, in 1/4096 bits: the entropy of its codes,
// their extra bits, and a few bits of table per symbol used. Good enough to
// rank split points; the tables themselves are only built for the best.
template <std::size_t N>
std::uint64_t EntropyBits(const std::array<std::uint32_t, N>& freqs, int tableBitsPerSymbol) {
    const FixedLog2& log2 = Log2();
    std::uint64_t total = 0, sum = 0, used = 0;
    for (std::uint32_t f : freqs)
        if (f) {
            total += f;
            sum += std::uint64_t(f) * log2(f);
            ++used;
        }
    if (total == 0) return 0;
    return total * log2(static_cast<std::uint32_t>(total)) - sum +
           (used * tableBitsPerSymbol << FixedLog2::kFractionBits);
}

std::uint64_t GuessBits(const Histograms& h) {
    std::uint64_t extra = 0;
    for (int s = 0; s < kNP; ++s) extra += std::uint64_t(h.p[s]) * SlotExtraBits(s);
    return EntropyBits(h.c, 4) + EntropyBits(h.p, 3) + (extra << FixedLog2::kFractionBits);
}

// Splits a run of symbols (whose histograms are h) into blocks where separate
// tables pay for themselves, at most depth times deep.
void SplitAndEmit(BitWriter& bw, const Symbol* syms, std::size_t n, int depth, const Histograms& h) {
    if (n == 0) return;
    if (depth <= 0 && n > kMaxBlockCodes) {
        // No more searching for a good split: halve until a block may hold the codes.
        Histograms left;
        Histogram(syms, n / 2, left.c, left.p);
        SplitAndEmit(bw, syms, n / 2, 0, left);
        SplitAndEmit(bw, syms + n / 2, n - n / 2, 0, Difference(h, left));
        return;
    }
    BlockPlan whole = MakePlan(h.c, h.p);
    if (depth > 0 && n >= 2 * kMinSplitCodes) {
        // The split points tried are the sixteenths of the run; the best
        // guess is planned in full against the whole.
        constexpr int kParts = 16;
        std::vector<Histograms> left(kParts);
        std::size_t done = 0;
        CFreq c{};
        PFreq p{};
        int best = 0;
        std::uint64_t bestGuess = std::numeric_limits<std::uint64_t>::max();
        for (int k = 1; k < kParts; ++k) {
            for (std::size_t mid = n * k / kParts; done < mid; ++done) AddSymbol(c, p, syms[done]);
            left[k] = {c, p};
            std::uint64_t guess = GuessBits(left[k]) + GuessBits(Difference(h, left[k]));
            if (guess < bestGuess) {
                bestGuess = guess;
                best = k;
            }
        }
        Histograms right = Difference(h, left[best]);
        std::uint64_t splitBits = MakePlan(left[best].c, left[best].p).bits + MakePlan(right.c, right.p).bits;
        if (splitBits < whole.bits || n > kMaxBlockCodes) {
            std::size_t mid = n * best / kParts;
            SplitAndEmit(bw, syms, mid, depth - 1, left[best]);
            SplitAndEmit(bw, syms + mid, n - mid, depth - 1, right);
            return;
        }
    }
    EmitBlock(bw, syms, n, whole);
}

void SplitAndEmit(BitWriter& bw, const std::vector<Symbol>& syms, int depth) {
    Histograms h;
    Histogram(syms.data(), syms.size(), h.c, h.p);
    SplitAndEmit(bw, syms.data(), syms.size(), depth, h);
}

// Hash of the 3 bytes at p: the head of their chain or tree.
std::uint32_t Hash3(const std::uint8_t* p) {
    std::uint32_t v = (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
    return (v * 2654435761u) >> (32 - kHashBits);
}

// How many bytes a and b have in common, up to limit.
int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int len = 0;
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    while (len + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y) return len + __builtin_ctzll(x ^ y) / 8;
        len += 8;
    }
#endif
    while (len < limit && a[len] == b[len]) ++len;
    return len;
}

// Hash chains for the greedy and lazy parses.
class MatchFinder {
public:
    MatchFinder(const std::uint8_t* data, std::size_t size)
        : data_(data), size_(size), head_(size ? 1u << kHashBits : 0, -1),
          prev_(size ? kChainMask + 1 : 0, -1) {}

    void Insert(std::size_t pos) {
        if (pos + kMinMatch > size_) return;
        std::uint32_t h = Hash(pos);
        prev_[pos & kChainMask] = head_[h];
        head_[h] = static_cast<std::int32_t>(pos);
    }

    // The longest (nearest on ties) match at pos up to limit, or 0; stops at
    // the first match of at least good bytes.
    int Longest(std::size_t pos, int limit, int depth, int good, int* distOut) const {
        if (limit < kMinMatch || pos + kMinMatch > size_) return 0;
        const std::uint8_t* a = data_ + pos;
        int best = kMinMatch - 1;
        std::int32_t cur = head_[Hash(pos)];
        for (; cur >= 0 && depth > 0; --depth) {
            std::size_t dist = pos - static_cast<std::size_t>(cur);
            if (dist > static_cast<std::size_t>(kWindow)) break;
            const std::uint8_t* b = data_ + cur;
            if (b[best] == a[best] && b[0] == a[0] && b[1] == a[1]) {
                int len = CommonLength(a, b, limit);
                if (len > best) {
                    best = len;
                    *distOut = static_cast<int>(dist);
                    if (len >= good || len >= limit) break;
                }
            }
            cur = prev_[cur & kChainMask];
        }
        return best >= kMinMatch ? best : 0;
    }

private:
    std::uint32_t Hash(std::size_t pos) const { return Hash3(data_ + pos); }

    const std::uint8_t* data_;
    std::size_t size_;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> prev_;
};

// Binary trees for the optimal parse: the positions of one hash bucket form
// a search tree ordered by the bytes that follow them, newest at the root.
// One walk down from the root finds the longest matches of every length and
// re-roots the tree at the new position, so a deep search stays cheap.
class MatchTree {
public:
    MatchTree(const std::uint8_t* data, std::size_t size, int depth)
        : data_(data), size_(size), depth_(depth), head_(size ? 1u << kHashBits : 0, -1),
          son_(size ? 2 * (kChainMask + 1) : 0, -1) {}

    // Inserts pos. With out, also appends the matches at pos of increasing
    // length, cut to limit; returns the longest (0 if none).
    int FindAndInsert(std::size_t pos, int limit, std::vector<Match>* out) {
        if (pos + kMinMatch > size_) return 0;
        const int cmpLimit = static_cast<int>(std::min<std::size_t>(kMaxMatch, size_ - pos));
        const std::uint8_t* a = data_ + pos;
        std::int32_t& head = head_[Hash3(a)];
        std::int32_t cur = head;
        head = static_cast<std::int32_t>(pos);
        // Where the walk hangs the next node below (left) and above (right)
        // pos's bytes, and how many bytes each side is known to share.
        std::int32_t* left = &son_[2 * (pos & kChainMask)];
        std::int32_t* right = left + 1;
        int leftLen = 0, rightLen = 0, best = 0;
        for (int depth = depth_;; --depth) {
            if (cur < 0 || depth <= 0 || pos - static_cast<std::size_t>(cur) > static_cast<std::size_t>(kWindow)) {
                *left = *right = -1;
                break;
            }
            std::int32_t* pair = &son_[2 * (cur & kChainMask)];
            const std::uint8_t* b = data_ + cur;
            int len = std::min(leftLen, rightLen);
            len += CommonLength(a + len, b + len, cmpLimit - len);
            int cut = std::min(len, limit);
            if (out && cut > best && cut >= kMinMatch) {
                best = cut;
                out->push_back({static_cast<std::uint16_t>(cut), static_cast<std::uint16_t>(pos - cur)});
            }
            if (len == cmpLimit) {  // cur's bytes are pos's: pos takes its place
                *left = pair[0];
                *right = pair[1];
                break;
            }
            if (b[len] < a[len]) {
                *left = cur;
                left = &pair[1];
                cur = *left;
                leftLen = len;
            } else {
                *right = cur;
                right = &pair[0];
                cur = *right;
                rightLen = len;
            }
        }
        return best;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    int depth_;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> son_;  // per position: the subtrees below and above it
};

// Bit costs of symbols for the parser, in 1/4096 bits (FixedLog2's unit).
// Integers, so that every build picks the same parse: with float costs the
// x87 unit of 32-bit x86 compared sums at its own wider precision and
// chose other paths than SSE builds on near ties.
struct CostModel {
    static constexpr std::uint32_t kBit = 1u << FixedLog2::kFractionBits;
    std::uint32_t lit[256];
    std::uint32_t len[kNC - 256];
    std::uint32_t pos[kNP];  // including extra bits

    void Estimate() {
        for (std::uint32_t& c : lit) c = 8 * kBit;
        for (int i = 0; i < kNC - 256; ++i) len[i] = 4 * kBit + Log2()(i + 1) / 2;
        for (int p = 0; p < kNP; ++p) pos[p] = (3 + SlotExtraBits(p)) * kBit;
    }
    // Costs from the symbol counts of a parse; an unseen symbol is costed as
    // if seen 0.4 times.
    void FromStats(const CFreq& c, const PFreq& p) {
        std::uint32_t cTotal = 0, pTotal = 0;
        for (auto f : c) cTotal += f;
        for (auto f : p) pTotal += f;
        auto cost = [](std::uint32_t f, std::uint32_t total) {
            const FixedLog2& log2 = Log2();
            std::int64_t b = std::int64_t(log2(total + 1)) -
                             (f > 0 ? std::int64_t(log2(f)) : -std::int64_t(log2(5)) + log2(2));
            return static_cast<std::uint32_t>(std::min<std::int64_t>(std::max<std::int64_t>(b, kBit), 18 * kBit));
        };
        for (int s = 0; s < 256; ++s) lit[s] = cost(c[s], cTotal);
        for (int s = 256; s < kNC; ++s) len[s - 256] = cost(c[s], cTotal);
        for (int s = 0; s < kNP; ++s) pos[s] = cost(p[s], pTotal) + SlotExtraBits(s) * kBit;
    }
};

class ChunkParser {
public:
    // Optimal parse of [begin, begin + n) given the matches found at each
    // position; symbols are appended to out.
    void Parse(const std::uint8_t* data, std::size_t n, const std::vector<std::uint32_t>& matchStart,
               const std::vector<Match>& matches, const CostModel& model, int nice, std::vector<Symbol>& out) {
        // A chunk's cost can pass 2^32 of these units: 64-bit sums.
        cost_.assign(n + 1, std::numeric_limits<std::uint64_t>::max());
        edgeLen_.assign(n + 1, 0);
        edgeDist_.assign(n + 1, 0);
        cost_[0] = 0;
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t c = cost_[i];
            std::uint64_t lc = c + model.lit[data[i]];
            if (lc < cost_[i + 1]) {
                cost_[i + 1] = lc;
                edgeLen_[i + 1] = 1;
            }
            std::uint32_t mb = matchStart[i], me = matchStart[i + 1];
            if (mb == me) continue;
            const Match& longest = matches[me - 1];
            if (longest.len >= nice) {
                Relax(i, longest.len, longest.dist, c + model.len[longest.len - kMinMatch] +
                                                        model.pos[PositionSlot(longest.dist)]);
                continue;
            }
            int from = kMinMatch;
            for (std::uint32_t m = mb; m < me; ++m) {
                std::uint64_t pc = c + model.pos[PositionSlot(matches[m].dist)];
                for (int l = from; l <= matches[m].len; ++l)
                    Relax(i, l, matches[m].dist, pc + model.len[l - kMinMatch]);
                from = matches[m].len + 1;
            }
        }
        std::size_t first = out.size();
        for (std::size_t j = n; j > 0;) {
            int l = edgeLen_[j];
            if (l == 1) {
                out.push_back({data[j - 1], 0});
            } else {
                out.push_back({static_cast<std::uint16_t>(256 + l - kMinMatch), edgeDist_[j]});
            }
            j -= l;
        }
        std::reverse(out.begin() + first, out.end());
    }

private:
    void Relax(std::size_t i, int len, std::uint16_t dist, std::uint64_t c) {
        if (c < cost_[i + len]) {
            cost_[i + len] = c;
            edgeLen_[i + len] = static_cast<std::uint16_t>(len);
            edgeDist_[i + len] = dist;
        }
    }

    std::vector<std::uint64_t> cost_;
    std::vector<std::uint16_t> edgeLen_;
    std::vector<std::uint16_t> edgeDist_;
};

// Greedy (lazy 0) or one-step lazy parse of [begin, end): a match is put
// off when the next position has a longer one.
void LazyParse(const std::uint8_t* data, std::size_t begin, std::size_t end, MatchFinder& finder,
               const Lh5EncoderOptions& o, std::vector<Symbol>& out) {
    const int depth = std::max(1, o.chainDepth);
    std::size_t pos = begin;
    int len = 0, dist = 0;
    bool have = false;  // len/dist hold the match at pos
    while (pos < end) {
        int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, end - pos));
        if (!have) len = finder.Longest(pos, limit, depth, o.goodLength, &dist);
        have = false;
        finder.Insert(pos);
        if (len >= kMinMatch && o.lazy > 0 && len < o.goodLength && pos + 1 < end) {
            int nextDist = 0;
            int nextLimit = static_cast<int>(std::min<std::size_t>(kMaxMatch, end - pos - 1));
            int next = finder.Longest(pos + 1, nextLimit, depth, o.goodLength, &nextDist);
            if (next > len) {
                out.push_back({data[pos], 0});
                ++pos;
                len = next;
                dist = nextDist;
                have = true;
                continue;
            }
        }
        if (len < kMinMatch || (len == kMinMatch && dist > 4096)) {
            out.push_back({data[pos], 0});
            ++pos;
            continue;
        }
        out.push_back({static_cast<std::uint16_t>(256 + len - kMinMatch), static_cast<std::uint16_t>(dist)});
        for (std::size_t stop = pos + len, p = pos + 1; p < stop; ++p) finder.Insert(p);
        pos += len;
    }
}

}  // namespace

Lh5EncoderOptions LevelOptions(int level) {
    // Block splitting pays most for its time, so all but the fastest levels
    // split as far as it helps; then the parse deepens: greedy, one-step lazy,
    // optimal.
    constexpr int kAll = 1 << 30;
    // chainDepth, passes, lazy, goodLength, splitDepth, niceLength
    static const Lh5EncoderOptions kLevels[9] = {
        {4, 1, 0, 32, 0},           {8, 1, 0, 64, 1},           {8, 1, 0, 64, kAll},
        {8, 1, 1, 32, kAll},        {16, 1, 1, 64, kAll},       {32, 1, 1, 128, kAll},
        {128, 1, 1, kMaxMatch, kAll}, {16, 1, -1, 0, kAll, 64}, {32, 2, -1, 0, kAll, 128},
    };
    return kLevels[std::min(9, std::max(1, level)) - 1];
}

std::vector<std::uint8_t> HuffmanLengths(const std::vector<std::uint32_t>& freqs, int maxLength) {
    if (freqs.size() > static_cast<std::size_t>(kNC)) throw std::length_error("more symbols than lh5 has");
    std::vector<std::uint8_t> lens(freqs.size(), 0);
    BuildLengths(freqs.data(), static_cast<int>(freqs.size()), maxLength, lens.data());
    return lens;
}

std::vector<std::uint8_t> EncodeLh5(const std::uint8_t* data, std::size_t size,
                                    const Lh5EncoderOptions& options) {
    std::vector<std::uint8_t> out;
    out.reserve(size / 2 + 64);
    BitWriter bw(out);
    const int nice = std::min(kMaxMatch, std::max(kMinMatch, options.niceLength));
    // Only the parse's own finder: their tables cost time to clear for every file.
    const bool lazy = options.lazy >= 0;
    MatchFinder finder(lazy ? data : nullptr, lazy ? size : 0);
    MatchTree tree(lazy ? nullptr : data, lazy ? 0 : size, std::max(1, options.chainDepth));
    ChunkParser parser;
    CostModel model;
    model.Estimate();
    std::vector<std::uint32_t> matchStart;
    std::vector<Match> matches;
    std::vector<Symbol> syms;

    for (std::size_t begin = 0; begin < size; begin += kChunk) {
        const std::size_t end = std::min(size, begin + kChunk);
        const std::size_t n = end - begin;
        if (lazy) {
            syms.clear();
            LazyParse(data, begin, end, finder, options, syms);
            SplitAndEmit(bw, syms, options.splitDepth);
            continue;
        }
        matchStart.assign(n + 1, 0);
        matches.clear();
        std::size_t skipUntil = begin;
        for (std::size_t pos = begin; pos < end; ++pos) {
            matchStart[pos - begin] = static_cast<std::uint32_t>(matches.size());
            int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, end - pos));
            int best = tree.FindAndInsert(pos, limit, pos >= skipUntil ? &matches : nullptr);
            if (best >= nice) skipUntil = pos + best;
        }
        matchStart[n] = static_cast<std::uint32_t>(matches.size());

        const int passes = std::max(1, options.passes);
        for (int pass = 0; pass < passes; ++pass) {
            syms.clear();
            parser.Parse(data + begin, n, matchStart, matches, model, nice, syms);
            CFreq c;
            PFreq p;
            Histogram(syms.data(), syms.size(), c, p);
            model.FromStats(c, p);
        }
        SplitAndEmit(bw, syms, options.splitDepth);
    }
    bw.Flush();
    return out;
}

}  // namespace lzhpack
