// Helpers shared by the archive tests: file loading, an archive walk in the
// extractor's manner, and decoding with chosen input/output piece sizes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/lh5_decoder.h"
#include "archive/member_header.h"

using Bytes = std::vector<unsigned char>;

bool ReadWholeFile(const std::string& path, Bytes* out);

// How a decode is driven: the output space and the input piece offered to
// each Decode call (0 = everything).
struct Pacing {
    std::function<uint32_t()> outputPiece;
    std::function<uint32_t()> inputPiece;
};

struct DecodeOutcome {
    int result = 0;  // last Decode result; 1 when the stream ended
    uint64_t size = 0;
    unsigned crc = 0;
    Bytes bytes;  // only when asked to keep them
    uint32_t totalIn = 0;
    const char* message = nullptr;
};

// Decodes one member's coded data: compressedLeft = compressedSize, input
// limited to the bytes that are really there, output up to `limit` bytes
// (stops when reached, as the member writer does). Fails on a result other
// than 0/1 or when no progress is possible.
DecodeOutcome DecodeMemberData(const unsigned char* data, uint32_t available, uint32_t compressedSize,
                               uint32_t limit, const Pacing& pacing = Pacing(), bool keep = true);

struct WalkedMember {
    int header = 0;  // ReadMemberHeader result
    MemberInfo info = {};
    std::string path;
    size_t offset = 0;  // header start in the archive
    // Data check: true when the bytes (decoded or copied) have originalSize
    // bytes with CRC-16 dataCrc.
    bool dataOk = false;
    Bytes data;  // stored members, and decoded ones when kept
};

// Walks the archive like the extractor: every member, data checked, until
// the end or a bad header (which is the last element). A member that runs
// past the archive ends the walk with BAD_HEADER.
struct WalkOptions {
    Pacing pacing;
    bool keep = true;    // keep decoded bytes in WalkedMember::data
    bool decode = true;  // check member data at all
};
std::vector<WalkedMember> WalkArchive(const Bytes& archive, const WalkOptions& options = WalkOptions());

// "\xNN" for bytes outside printable ASCII.
std::string EscapePath(const std::string& path);
