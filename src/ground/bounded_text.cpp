// Fixed buffers are filled only through these: they never write past the
// size, always terminate, and report a cut text.
#include <cstdio>
#include <cstring>

#include "ground/result.h"

HRESULT CopyBounded(char* dest, size_t size, const char* source)
{
    if (dest == nullptr || size == 0 || size > kMaxBoundedSize)
        return E_INVALIDARG;
    if (source == nullptr) {
        dest[0] = '\0';
        return E_INVALIDARG;
    }
    for (size_t i = 0; i < size; ++i) {
        dest[i] = source[i];
        if (source[i] == '\0')
            return S_OK;
    }
    dest[size - 1] = '\0';
    return RESULT_INSUFFICIENT_BUFFER;
}

HRESULT AppendBounded(char* dest, size_t size, const char* source)
{
    if (dest == nullptr || size == 0 || size > kMaxBoundedSize)
        return E_INVALIDARG;
    const void* end = std::memchr(dest, '\0', size);
    if (end == nullptr)
        return E_INVALIDARG;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - dest);
    return CopyBounded(dest + length, size - length, source);
}

HRESULT FormatBoundedV(char* dest, size_t size, const char* format, va_list args)
{
    if (dest == nullptr || size == 0 || size > kMaxBoundedSize || format == nullptr)
        return E_INVALIDARG;
    const int written = std::vsnprintf(dest, size, format, args);
    // Some C runtimes answer a cut with -1 and leave the buffer open.
    if (written < 0 || static_cast<size_t>(written) >= size) {
        dest[size - 1] = '\0';
        return RESULT_INSUFFICIENT_BUFFER;
    }
    return S_OK;
}

HRESULT FormatBounded(char* dest, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const HRESULT result = FormatBoundedV(dest, size, format, args);
    va_end(args);
    return result;
}

void CopyTruncated(char* dest, size_t size, const char* source)
{
    if (dest == nullptr || size == 0)
        return;
    if (source == nullptr) {
        dest[0] = '\0';
        return;
    }
    size_t i = 0;
    for (; i + 1 < size && source[i] != '\0'; ++i)
        dest[i] = source[i];
    dest[i] = '\0';
}
