#include "ground/whole_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ground/growable_array.h"
#include "ground/system_error.h"

namespace {

constexpr uint32_t kGeneralFailure = 31;  // ERROR_GEN_FAILURE
constexpr uint32_t kReadFault = 30;       // ERROR_READ_FAULT

uint32_t LastErrorOr(uint32_t fallback)
{
    const uint32_t error = GetLastSystemError();
    return error != 0 ? error : fallback;
}

}  // namespace

uint32_t ReadWholeFile(const char* path, size_t maxSize, WholeFile* file)
{
    *file = WholeFile();
    errno = 0;
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr)
        return LastErrorOr(kGeneralFailure);
    // Room for the size the system tells and one byte more: the terminator,
    // or the first of a file that grew meanwhile, which then grows the room.
    struct stat info;
    size_t room = 0;
    if (fstat(fileno(stream), &info) == 0 && info.st_size > 0)
        room = static_cast<unsigned long long>(info.st_size) < maxSize ? static_cast<size_t>(info.st_size) : maxSize;
    char* bytes = nullptr;
    size_t capacity = 0, size = 0;
    uint32_t error = 0;
    for (;;) {
        if (!GrowArray(reinterpret_cast<void**>(&bytes), &capacity, room, 1)) {
            error = kWholeFileNoMemory;
            break;
        }
        errno = 0;
        size += std::fread(bytes + size, 1, capacity - size, stream);
        if (size > maxSize) {
            error = kWholeFileTooLarge;
            break;
        }
        if (size < capacity) {
            if (std::ferror(stream))
                error = LastErrorOr(kReadFault);
            break;
        }
        room = size;
    }
    std::fclose(stream);
    if (error != 0) {
        std::free(bytes);
        return error;
    }
    bytes[size] = '\0';
    file->bytes = bytes;
    file->size = size;
    return 0;
}
