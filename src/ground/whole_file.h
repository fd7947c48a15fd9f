// A file read whole into memory, for what is parsed in one piece: the
// uninstaller's log, lzhpack's inputs. One file per platform: the system's
// calls on Windows, the C library's on the host.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes on the C runtime's heap (std::free them), followed by one NUL
// that size does not count, so that a text can be parsed in place.
struct WholeFile {
    char* bytes = nullptr;
    size_t size = 0;
};

// Win32 error numbers (ground/system_error.h) besides the system's own.
constexpr uint32_t kWholeFileTooLarge = 223;  // ERROR_FILE_TOO_LARGE: more than maxSize bytes
constexpr uint32_t kWholeFileNoMemory = 8;    // ERROR_NOT_ENOUGH_MEMORY

// Reads the file at path (in the system's own form) whole when it holds at
// most maxSize bytes. 0 on success; otherwise a Win32 error number, and
// *file stays empty. On Windows the file is opened for reading with others
// allowed to read only, so nobody writes it meanwhile.
uint32_t ReadWholeFile(const char* path, size_t maxSize, WholeFile* file);

#ifdef _WIN32
// The same from the start of a file already open for reading (a HANDLE),
// for a file that must be opened in a way of its own.
uint32_t ReadWholeOpenFile(void* handle, size_t maxSize, WholeFile* file);
#endif
