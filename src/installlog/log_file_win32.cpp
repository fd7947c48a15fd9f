#include "installlog/log_file.h"

#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <cstring>

#include "ground/whole_file.h"

namespace {

// A log read whole; a file larger than the uninstaller reads is no log of
// this product. Freed when it goes out of scope.
struct LogBytes : WholeFile {
    LogBytes() = default;
    LogBytes(const LogBytes&) = delete;
    LogBytes& operator=(const LogBytes&) = delete;
    ~LogBytes() { std::free(bytes); }
};

HRESULT ReadWholeLog(HANDLE file, LogBytes* text)
{
    const uint32_t error = ReadWholeOpenFile(file, kMaxLogSize, text);
    if (error == kWholeFileTooLarge)
        return kLogNotALog;
    if (error == kWholeFileNoMemory)
        return E_OUTOFMEMORY;
    return error == 0 ? S_OK : ResultFromWin32(error);
}

HRESULT ResultOfReading(LogProblem problem)
{
    if (problem == LogProblem::None)
        return S_OK;
    return problem == LogProblem::OutOfMemory ? E_OUTOFMEMORY : kLogNotALog;
}

HRESULT RewriteLog(HANDLE file, const LogText& text)
{
    DWORD written = 0;
    SetLastError(0);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !WriteFile(file, text.bytes, static_cast<DWORD>(text.size), &written, nullptr) || written != text.size ||
        !SetEndOfFile(file))
        return ResultFromLastError();
    return S_OK;
}

// The log read whole, merged by merge and written back in place. size: the
// size written.
template <typename Merge>
HRESULT RewriteLogFile(HANDLE file, Merge merge, DWORD* size = nullptr)
{
    LogBytes text;
    HRESULT result = ReadWholeLog(file, &text);
    if (result != S_OK)
        return result;
    LogText merged;
    result = ResultOfReading(merge(text.bytes, text.size, &merged));
    if (result == S_OK)
        result = RewriteLog(file, merged);
    if (result == S_OK && size != nullptr)
        *size = static_cast<DWORD>(merged.size);
    FreeLogText(&merged);
    return result;
}

}  // namespace

HRESULT CheckLogFile(HANDLE file, char* lastFile)
{
    if (lastFile != nullptr)
        lastFile[0] = '\0';
    LogBytes text;
    HRESULT result = ReadWholeLog(file, &text);
    const char* last = nullptr;
    if (result == S_OK)
        result = ResultOfReading(CheckInstallLog(text.bytes, text.size, &last));
    // The reader allows no longer line.
    if (result == S_OK && last != nullptr && lastFile != nullptr)
        std::strcpy(lastFile, last);
    return result;
}

HRESULT KeepExistingEntriesIn(HANDLE file, const ItemProbe& probe, DWORD* kept)
{
    *kept = 0;
    return RewriteLogFile(
        file, [&](char* bytes, size_t size, LogText* out) { return KeepExistingEntries(bytes, size, probe, out); },
        kept);
}

HRESULT DropRelistedEntriesIn(HANDLE file, DWORD earlier)
{
    return RewriteLogFile(file, [&](char* bytes, size_t size, LogText* merged) {
        return DropRelistedEntries(bytes, earlier, size, merged);
    });
}

HRESULT OpenLogStream(HANDLE file, FILE** stream)
{
    *stream = nullptr;
    HANDLE second = nullptr;
    SetLastError(0);
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &second, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return ResultFromLastError();
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(second), _O_APPEND | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(second);
        return E_FAIL;
    }
    *stream = _fdopen(descriptor, "a");
    if (*stream == nullptr) {
        _close(descriptor);
        return E_FAIL;
    }
    return S_OK;
}

