// The walk over an archive's members that the check, the plan and the
// extraction share: each header read in turn, each member's data checked to
// lie within the archive before anyone reads it.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/lh5_decoder.h"
#include "archive/member_header.h"
#include "ground/result.h"

// Calls visit(path, info, isDirectory, cursor) for each member in order,
// the cursor at the member's data with availIn the bytes left in the
// archive; path is the member's path when pathBuffer is given (else null).
// Stops at the first result other than S_OK and returns it. S_OK at the end
// of the archive, with *endMarker telling whether it ended with its end
// marker or at the bare end of the bytes; E_FAIL for a header that does not
// read or data that runs past the archive.
template <typename Visit>
HRESULT WalkArchiveMembers(const unsigned char* archiveBytes, uint32_t archiveSize, char* pathBuffer,
                           size_t pathSize, bool* endMarker, Visit visit)
{
    uint32_t offset = 0;
    for (;;) {
        LzhDecodeStream cursor;
        std::memset(&cursor, 0, sizeof cursor);
        cursor.nextIn = archiveBytes + offset;
        cursor.availIn = archiveSize - offset;

        MemberInfo info;
        const int read = ReadMemberHeader(&cursor, pathBuffer, pathSize, &info);
        if (read == END_OF_ARCHIVE) {
            // The reader also takes the bare end of the bytes for the end.
            *endMarker = offset < archiveSize && archiveBytes[offset] == 0;
            return S_OK;
        }
        if (read != MEMBER_HEADER_OK || info.compressedSize > cursor.availIn) {
            return E_FAIL;
        }
        const bool isDirectory = std::memcmp(info.methodId, "-lhd-", 5) == 0;
        const HRESULT result = visit(static_cast<const char*>(pathBuffer), &info, isDirectory, &cursor);
        if (result != S_OK) {
            return result;
        }
        // The next member follows the data as declared, however much of it
        // the visit took.
        offset += info.headerSize + info.compressedSize;
    }
}
