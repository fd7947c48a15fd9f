// Streaming decoder of the lh5 coding (-lh5-, -lh4-): a sliding window
// (8 KB for lh5), static Huffman codes sent at the head of each block. The caller gives an
// input and an output range and calls Decode until it returns
// LZH_STREAM_END; every call may stop and resume at any step.
#pragma once

#include <cstdint>

typedef void* (*LzhAllocFunction)(void* opaque, unsigned int count, unsigned int size);
typedef void (*LzhFreeFunction)(void* opaque, void* memory);

struct LzhDecoderState;

// The caller-visible stream record; the field order is fixed.
struct LzhDecodeStream {
    const unsigned char* nextIn;  // next input byte; advanced by the decoder
    uint32_t availIn;             // input bytes available at nextIn
    uint32_t totalIn;             // input bytes consumed so far
    unsigned char* nextOut;       // where the next output byte goes
    uint32_t availOut;            // free space at nextOut
    uint32_t totalOut;            // bytes delivered so far
    const char* message;          // last error text, or null
    LzhDecoderState* state;       // internal state, owned by the decoder
    LzhAllocFunction alloc;       // null: zero-filling default
    LzhFreeFunction free;         // null: the default
    void* opaque;                 // passed to alloc and free
    uint32_t compressedLeft;      // member bytes not yet read; 0 makes the decoder read zero bytes
};

// Results.
constexpr int LZH_STREAM_END = 1;     // stream ended and everything delivered
constexpr int LZH_OK = 0;             // progress was made
constexpr int LZH_STREAM_ERROR = -2;  // bad stream record or window size
constexpr int LZH_DATA_ERROR = -3;    // corrupt data (message may be set)
constexpr int LZH_MEM_ERROR = -4;     // no memory
constexpr int LZH_BUF_ERROR = -5;     // no progress was possible
constexpr int LZH_VERSION_ERROR = -6; // version or record size mismatch

// The flush value the member writer passes.
constexpr int LZH_FINISH = 2;

// The decoder's own version; DecoderInit wants a version text beginning
// with the same first character.
#define LZH_DECODER_VERSION "1.1.4"

// The window the member writer asks for: plain stream, 2^13 bytes.
constexpr int LZH_WINDOW_BITS = -13;

// Message texts stored in LzhDecodeStream::message on corrupt data.
extern const char kLzhTooManySymbols[];       // "too many length or distance symbols"
extern const char kLzhInvalidRepeat[];        // "invalid bit length repeat"
extern const char kLzhOversubscribedBits[];   // "oversubscribed dynamic bit lengths tree"
extern const char kLzhIncompleteBits[];       // "incomplete dynamic bit lengths tree"
extern const char kLzhOversubscribedLengths[];// "oversubscribed literal/length tree"
extern const char kLzhIncompleteLengths[];    // "incomplete literal/length tree"
extern const char kLzhIncompleteDistances[];  // "incomplete distance tree"
extern const char kLzhInvalidLengthCode[];    // "invalid literal/length code"
extern const char kLzhInvalidDistanceCode[];  // "invalid distance code"

// windowBits must be negative with a magnitude of 8..15, the window being
// 2^magnitude bytes; a position code reaching further back is corrupt data
// (the member writer passes LZH_WINDOW_BITS). version is LZH_DECODER_VERSION and recordSize
// sizeof(LzhDecodeStream). Returns LZH_OK, LZH_STREAM_ERROR, LZH_MEM_ERROR
// or LZH_VERSION_ERROR. Set nextIn, availIn and compressedLeft before the
// first Decode.
int DecoderInit(LzhDecodeStream* stream, int windowBits, const char* version, int recordSize);
// flush is accepted for the caller's convenience (LZH_FINISH); it does not
// change decoding. Returns LZH_OK, LZH_STREAM_END or a negative result.
int Decode(LzhDecodeStream* stream, int flush);
// Frees the state. Returns LZH_OK or LZH_STREAM_ERROR.
int DecoderEnd(LzhDecodeStream* stream);
