#include "archive/verify_archive.h"

#include <cstring>

#include "archive/crc16.h"
#include "archive/crc32.h"
#include "archive/member_walk.h"

namespace {

// Each piece goes to the sink at once, and the extraction's sink is one
// WriteFile: pieces large enough that the calls do not count.
constexpr uint32_t OUTPUT_BUFFER_SIZE = 64 * 1024;

// An lh5 member through one output buffer; the CRC is taken on the same
// buffer before the sink sees it.
HRESULT DecodeMemberData(const MemberInfo* info, LzhDecodeStream* cursor, MemberDataSink sink, void* sinkContext,
                         unsigned int* crc)
{
    if (DecoderInit(cursor, LZH_WINDOW_BITS, LZH_DECODER_VERSION, sizeof(LzhDecodeStream)) != LZH_OK) {
        return E_FAIL;
    }
    // Never more input than the archive still holds: a truncated archive must
    // not make the decoder read past its end.
    cursor->availIn = info->compressedSize < cursor->availIn ? info->compressedSize : cursor->availIn;
    cursor->compressedLeft = info->compressedSize;

    HRESULT result = S_OK;
    unsigned char buffer[OUTPUT_BUFFER_SIZE];
    uint32_t remaining = info->originalSize;
    while (remaining > 0) {
        const uint32_t requested = remaining < OUTPUT_BUFFER_SIZE ? remaining : OUTPUT_BUFFER_SIZE;
        cursor->nextOut = buffer;
        cursor->availOut = requested;
        const auto* before = cursor->nextIn;
        const int r = Decode(cursor, LZH_FINISH);
        if (r != LZH_OK && r != LZH_STREAM_END) {
            result = E_FAIL;
            break;
        }
        const uint32_t produced = requested - cursor->availOut;
        if (produced == 0) {
            if (r == LZH_STREAM_END) {
                break;  // ended early; the CRC decides
            }
            // Output space but nothing delivered and no input to take: the
            // coded data ends inside the member. Stop rather than spin.
            if (cursor->availIn == 0 || cursor->nextIn == before) {
                result = E_FAIL;
                break;
            }
            continue;
        }
        *crc = Crc16Update(*crc, buffer, produced);
        if (sink != nullptr && !sink(sinkContext, buffer, produced)) {
            result = E_FAIL;
            break;
        }
        remaining -= produced;
    }
    DecoderEnd(cursor);
    return result;
}

HRESULT CopyStoredMemberData(const MemberInfo* info, LzhDecodeStream* cursor, MemberDataSink sink,
                             void* sinkContext, unsigned int* crc)
{
    const uint32_t size = info->originalSize;
    // The data must lie within the member and within the archive.
    if (size > info->compressedSize || size > cursor->availIn) {
        return E_FAIL;
    }
    *crc = Crc16Update(*crc, cursor->nextIn, size);
    if (size != 0 && sink != nullptr && !sink(sinkContext, cursor->nextIn, size)) {
        return E_FAIL;
    }
    cursor->nextIn += size;
    cursor->availIn -= size;
    return S_OK;
}

}  // namespace

HRESULT ReadMemberData(const MemberInfo* info, LzhDecodeStream* cursor, MemberDataSink sink, void* sinkContext,
                       unsigned int* crc)
{
    return info->method == METHOD_LH5 ? DecodeMemberData(info, cursor, sink, sinkContext, crc)
                                      : CopyStoredMemberData(info, cursor, sink, sinkContext, crc);
}

namespace {

// Every header read and every member's data within the archive, up to the
// end marker; with decode, every member's data against its CRC-16 too.
HRESULT WalkArchive(const unsigned char* archiveBytes, uint32_t archiveSize, bool decode)
{
    if (archiveBytes == nullptr) {
        return E_CORRUPT_DATA;
    }
    bool endMarker = false;
    const HRESULT result = WalkArchiveMembers(
        archiveBytes, archiveSize, nullptr, 0, &endMarker,
        [&](const char*, const MemberInfo* info, bool isDirectory, LzhDecodeStream* cursor) -> HRESULT {
            if (!decode || isDirectory) {
                return S_OK;
            }
            unsigned int crc = Crc16Update(0, nullptr, 0);
            return ReadMemberData(info, cursor, nullptr, nullptr, &crc) == S_OK &&
                           crc == static_cast<unsigned int>(info->dataCrc & 0xFFFF)
                       ? S_OK
                       : E_FAIL;
        });
    // A whole archive has its end marker.
    return result == S_OK && endMarker ? S_OK : E_CORRUPT_DATA;
}

}  // namespace

HRESULT VerifyArchive(const unsigned char* archiveBytes, uint32_t archiveSize)
{
    return WalkArchive(archiveBytes, archiveSize, true);
}

void MakeArchiveSum(const unsigned char* archiveBytes, uint32_t archiveSize, unsigned char sum[kArchiveSumSize])
{
    const uint32_t crc = Crc32Update(0, archiveBytes, archiveSize);
    for (int i = 0; i < 4; ++i) {
        sum[i] = static_cast<unsigned char>(archiveSize >> (8 * i));
        sum[4 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
}

HRESULT CheckArchiveSum(const unsigned char* archiveBytes, uint32_t archiveSize, const unsigned char* sum,
                        uint32_t sumSize)
{
    if (archiveBytes == nullptr || sum == nullptr || sumSize != kArchiveSumSize) {
        return E_CORRUPT_DATA;
    }
    unsigned char expected[kArchiveSumSize];
    MakeArchiveSum(archiveBytes, archiveSize, expected);
    if (memcmp(expected, sum, kArchiveSumSize) != 0) {
        return E_CORRUPT_DATA;
    }
    return WalkArchive(archiveBytes, archiveSize, false);
}
