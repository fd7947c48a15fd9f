#include "installlog/log_file.h"

#include <fcntl.h>
#include <io.h>

namespace {

// A log read whole into memory from the platform heap: it is small, and
// this program carries no C++ containers (they would bring the exception
// runtime along).
struct HeapText {
    char* bytes = nullptr;
    DWORD size = 0;
    HeapText() = default;
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;
    ~HeapText()
    {
        if (bytes != nullptr)
            HeapFree(GetProcessHeap(), 0, bytes);
    }
};

HRESULT ReadWholeLog(HANDLE file, HeapText* text)
{
    SetLastError(0);
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return ResultFromLastError();
    // Never more than the uninstaller reads, so the sizes below cannot wrap.
    if (high != 0 || size > kMaxLogSize)
        return kLogNotALog;
    SetLastError(0);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return ResultFromLastError();
    text->bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
    if (text->bytes == nullptr)
        return E_OUTOFMEMORY;
    DWORD read = 0;
    SetLastError(0);
    if (!ReadFile(file, text->bytes, size, &read, nullptr) || read != size)
        return ResultFromLastError();
    text->size = size;
    return S_OK;
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
    HeapText text;
    HRESULT result = ReadWholeLog(file, &text);
    if (result != S_OK)
        return result;
    LogText merged;
    result = ResultOfReading(merge(text.bytes, static_cast<size_t>(text.size), &merged));
    if (result == S_OK)
        result = RewriteLog(file, merged);
    if (result == S_OK && size != nullptr)
        *size = static_cast<DWORD>(merged.size);
    FreeLogText(&merged);
    return result;
}

}  // namespace

HRESULT CheckLogFile(HANDLE file)
{
    HeapText text;
    const HRESULT result = ReadWholeLog(file, &text);
    return result == S_OK ? ResultOfReading(CheckInstallLog(text.bytes, text.size)) : result;
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

