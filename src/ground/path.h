// Double-byte aware path and string operations on 260-byte buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ground/result.h"

constexpr size_t PATH_BUFFER_SIZE = 260;

// wanted: a one-byte character, or a double-byte one with its first byte in
// the low half.
const char* FindChar(const char* text, uint16_t wanted);
const char* FindLastChar(const char* text, const char* end, uint16_t wanted);
inline char* FindChar(char* text, uint16_t wanted)
{
    return const_cast<char*>(FindChar(static_cast<const char*>(text), wanted));
}
inline char* FindLastChar(char* text, const char* end, uint16_t wanted)
{
    return const_cast<char*>(FindLastChar(static_cast<const char*>(text), end, wanted));
}

bool IsUncPath(const char* path);
bool IsRelativePath(const char* path);
bool IsRootPath(const char* path);
// A full directory path Windows can create: X:\ or \\server\share, then
// components without empty, ".", "..", device or unusable names.
bool IsFullDirectoryPath(const char* path);
char* AddBackslash(char* path);
char* RemoveBackslash(char* path);
bool RemoveLastComponent(char* path);
bool StripToRoot(char* path);
HRESULT CopyAtMost(char* dest, size_t size, const char* source, size_t maxCount);
bool CanonicalizePath(char* output, const char* source);
HRESULT JoinPath(char* output, const char* directory, const char* name);
const char* FindExtension(const char* path);
inline char* FindExtension(char* path)
{
    return const_cast<char*>(FindExtension(static_cast<const char*>(path)));
}
HRESULT JoinKeyPath(char* output, int32_t size, const char* keyPath, const char* subkey);
