// The data of one member, decoded or copied into a sink, and the check of a
// whole archive built on it: the extractor and the check share this code.
#pragma once

#include <cstdint>

#include "archive/lh5_decoder.h"
#include "archive/member_header.h"
#include "ground/result.h"

// Takes the next piece of a member's data; false stops the member (E_FAIL).
typedef bool (*MemberDataSink)(void* sinkContext, const unsigned char* data, uint32_t size);

// Decodes (lh5) or copies (stored) the data of one file member from the
// cursor, which stands at the data with availIn the bytes left in the
// archive, into sink (null: the data goes nowhere), and updates crc over it.
// Returns S_OK, or E_FAIL for a decoder error, data beyond the member or the
// archive, or a sink that refused. The CRC comparison is the caller's.
HRESULT ReadMemberData(const MemberInfo* info, LzhDecodeStream* cursor, MemberDataSink sink, void* sinkContext,
                       unsigned int* crc);

// Walks the archive as the extractor does, every member decoded to nowhere.
// S_OK when every header reads, every member's data matches its CRC-16 and
// the walk ends at the end marker within the bytes; else E_CORRUPT_DATA.
HRESULT VerifyArchive(const unsigned char* archiveBytes, uint32_t archiveSize);

// The sum the build stores beside an archive it has checked with
// VerifyArchive: its size and CRC-32, each 4 bytes little-endian.
constexpr uint32_t kArchiveSumSize = 8;
void MakeArchiveSum(const unsigned char* archiveBytes, uint32_t archiveSize, unsigned char sum[kArchiveSumSize]);
// The check before an installation: the bytes are those the build checked
// (their sum matches) and every header still reads. No member is decoded:
// the extraction decodes each once and checks its CRC-16 as before. S_OK,
// or E_CORRUPT_DATA for any difference and for a missing archive or sum.
HRESULT CheckArchiveSum(const unsigned char* archiveBytes, uint32_t archiveSize, const unsigned char* sum,
                        uint32_t sumSize);
