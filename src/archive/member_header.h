// LZH member header reader: levels 0, 1 and 2 with their checks, the
// extended headers the installer understands, and the time conversions.
#pragma once

#include <cstddef>
#include <cstdint>

struct LzhDecodeStream;

// Results of ReadMemberHeader. They stay inside the archive code; the
// extractor turns them into HRESULTs.
constexpr int MEMBER_HEADER_OK = 0;
constexpr int END_OF_ARCHIVE = -100;
constexpr int BAD_HEADER = -103;

// MemberInfo::method values.
constexpr int METHOD_STORED = 0;  // every method id but the two below
constexpr int METHOD_LH5 = 8;     // "-lh5-" and "-lh4-"

// The reader's working buffer; a larger header is rejected.
constexpr size_t MEMBER_HEADER_BUFFER_SIZE = 4096;

// What the reader reports for one member. Times are Windows file times
// (100 ns since 1601-01-01 UTC); 0 means the time is not given.
struct MemberInfo {
    int osId;                 // OS id byte, 0 when the header has none
    int method;               // METHOD_LH5 or METHOD_STORED
    uint64_t creationTime;    // from extended header 0x41, else 0
    uint64_t lastAccessTime;  // from extended header 0x41, else 0
    uint64_t lastWriteTime;   // base time stamp, replaced by 0x41's
    int dataCrc;              // CRC-16 of the original data; 0 when absent
    uint32_t compressedSize;  // data bytes after the header (level 1: without extended headers)
    uint32_t originalSize;    // size of the decoded member
    int attribute;            // base attribute byte, replaced by extended header 0x40
    int level;                // header level; -1 for a level-0/1 header without a CRC field
    char methodId[6];         // the 5-byte method id as stored, terminated
    uint32_t headerSize;      // bytes consumed from the cursor (level 1: with extended headers)
};

// Reads one member header at cursor->nextIn (cursor->availIn bytes left in
// the archive) and leaves nextIn at the member's data; totalIn is not
// touched. nameBuffer (may be null) receives the member's path within the
// archive, directory and name joined with '\', cut to fit nameCapacity
// bytes with the terminator. info (may be null) receives the MemberInfo.
// Returns MEMBER_HEADER_OK, END_OF_ARCHIVE or BAD_HEADER. Every read
// advances the cursor: after a failure it stands behind the bytes read so
// far.
int ReadMemberHeader(LzhDecodeStream* cursor, char* nameBuffer, size_t nameCapacity, MemberInfo* info);

// (t + 11644473600) * 10000000, computed in 64 bits from the signed t (the
// level-2 stamp is 32 bits; a converted MS-DOS time may need more).
uint64_t UnixTimeToFileTime(int64_t t);
// MS-DOS date (high word) and time (low word) in local time, converted with
// the machine's time zone and daylight-saving rules.
uint64_t DosTimeToFileTime(uint32_t dosDateTime);
