#include "ground/whole_file.h"

#include <windows.h>

#include <cstdlib>

namespace {

// The last error, or fallback when the system set none.
uint32_t LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace

uint32_t ReadWholeOpenFile(void* handle, size_t maxSize, WholeFile* file)
{
    *file = WholeFile();
    SetLastError(0);
    DWORD high = 0;
    const DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return GetLastError();
    // One read of a DWORD's length; the sizes below cannot wrap.
    if (high != 0 || low == INVALID_FILE_SIZE || low > maxSize)
        return kWholeFileTooLarge;
    SetLastError(0);
    if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return GetLastError();
    char* bytes = static_cast<char*>(std::malloc(static_cast<size_t>(low) + 1));
    if (bytes == nullptr)
        return kWholeFileNoMemory;
    DWORD read = 0;
    SetLastError(0);
    if (!ReadFile(handle, bytes, low, &read, nullptr) || read != low) {
        const uint32_t error = LastErrorOr(ERROR_READ_FAULT);
        std::free(bytes);
        return error;
    }
    bytes[low] = '\0';
    file->bytes = bytes;
    file->size = low;
    return 0;
}

uint32_t ReadWholeFile(const char* path, size_t maxSize, WholeFile* file)
{
    *file = WholeFile();
    SetLastError(0);
    HANDLE handle =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastErrorOr(ERROR_GEN_FAILURE);
    const uint32_t error = ReadWholeOpenFile(handle, maxSize, file);
    CloseHandle(handle);
    return error;
}
