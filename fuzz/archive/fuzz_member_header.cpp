// Walks arbitrary bytes as an archive: every header the reader accepts must
// lie inside the input, and no read may leave it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/lh5_decoder.h"
#include "archive/member_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t offset = 0;
    for (int member = 0; member < 64 && offset <= size; ++member) {
        LzhDecodeStream cursor;
        std::memset(&cursor, 0, sizeof cursor);
        cursor.nextIn = data + offset;
        cursor.availIn = static_cast<uint32_t>(size - offset);
        char name[260];
        MemberInfo info;
        // Small capacities exercise the cut.
        size_t capacity = member % 3 == 2 ? 1 + (size % 16) : sizeof name;
        int r = ReadMemberHeader(&cursor, name, capacity, &info);
        if (r != MEMBER_HEADER_OK)
            break;
        if (std::strlen(name) >= capacity || info.headerSize > size - offset ||
            cursor.nextIn != data + offset + info.headerSize)
            __builtin_trap();
        offset += info.headerSize;
        if (info.compressedSize > size - offset)
            break;
        offset += info.compressedSize;
    }
    return 0;
}
