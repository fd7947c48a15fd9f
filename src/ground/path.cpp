// Path operations on code page 932 text. Separators are found by stepping
// through characters, never bytes: a trail byte may be 0x5C ("\").
#include "ground/path.h"

#include <cstring>

#include "ground/codepage.h"
#include "ground/device_name.h"
#include "ground/system_error.h"

namespace {

constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInvalidName = 123;

bool IsLead(char c)
{
    return IsLeadByte(static_cast<unsigned char>(c));
}

// X: with a one-byte first character.
bool IsDriveForm(const char* path)
{
    return path[0] != '\0' && !IsLead(path[0]) && path[1] == ':';
}

bool Matches(const char* p, uint16_t wanted)
{
    const unsigned char first = static_cast<unsigned char>(wanted & 0xFF);
    if (static_cast<unsigned char>(*p) != first)
        return false;
    if (!IsLeadByte(first))
        return true;
    return static_cast<unsigned char>(p[1]) == static_cast<unsigned char>(wanted >> 8);
}

// A text cut byte-wise may end in the first half of a character; a "\"
// behind it would become that character's trail byte.
bool EndsInLoneLeadByte(const char* text)
{
    for (const char* p = text; *p != '\0'; ++p) {
        if (IsLead(*p)) {
            if (p[1] == '\0')
                return true;
            ++p;
        }
    }
    return false;
}

}  // namespace

const char* FindChar(const char* text, uint16_t wanted)
{
    if (text == nullptr)
        return nullptr;
    for (const char* p = text; *p != '\0'; p = NextChar(p)) {
        if (Matches(p, wanted))
            return p;
    }
    return nullptr;
}

const char* FindLastChar(const char* text, const char* end, uint16_t wanted)
{
    if (text == nullptr)
        return nullptr;
    if (end == nullptr)
        end = text + std::strlen(text);
    const char* last = nullptr;
    for (const char* p = text; *p != '\0' && p < end; p = NextChar(p)) {
        if (Matches(p, wanted))
            last = p;
    }
    return last;
}

bool IsUncPath(const char* path)
{
    return path != nullptr && path[0] == '\\' && path[1] == '\\';
}

bool IsRelativePath(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return true;
    if (path[0] == '\\')
        return false;
    return !IsDriveForm(path);
}

bool IsRootPath(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    if (IsDriveForm(path) && path[2] == '\\' && path[3] == '\0')
        return true;
    if (path[0] != '\\')
        return false;
    if (path[1] == '\0')
        return true;
    if (path[1] != '\\')
        return false;
    // \\, \\server, \\server\share; no trailing separator, no third part.
    int separators = 0;
    for (const char* p = path + 2; *p != '\0'; p = NextChar(p)) {
        if (*p != '\\')
            continue;
        if (++separators > 1 || *NextChar(p) == '\0')
            return false;
    }
    return true;
}

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// One name between separators, stepped through by characters: a trail byte
// may be "\" or "|" and is no separator and no forbidden character.
bool IsCreatableName(const char* name, size_t length)
{
    if (length == 0)
        return false;
    if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.'))
        return false;
    const char* end = name + length;
    const char* last = name;
    for (const char* p = name; p < end; ++p) {
        last = p;
        if (IsLead(*p)) {
            if (p + 1 >= end)
                return false;  // a lone lead byte
            ++p;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || std::strchr("<>:\"/|?*", c) != nullptr)
            return false;
    }
    if (!IsLead(*last) && (*last == '.' || *last == ' '))
        return false;
    return !IsDeviceName(name, length);
}

}  // namespace

bool IsFullDirectoryPath(const char* path)
{
    if (path == nullptr)
        return false;
    const char* p = nullptr;
    if (IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        p = path + 3;
    } else if (path[0] == '\\' && path[1] == '\\') {
        // \\server\share: both names present; the share is the root's last part.
        p = path + 2;
        for (int part = 0; part < 2; ++part) {
            const char* start = p;
            while (*p != '\0' && *p != '\\')
                p = IsLead(*p) && p[1] != '\0' ? p + 2 : p + 1;
            if (!IsCreatableName(start, static_cast<size_t>(p - start)))
                return false;
            if (part == 0) {
                if (*p != '\\')
                    return false;
                ++p;
            }
        }
        if (*p == '\0')
            return true;
        ++p;
    } else {
        return false;
    }
    // The components; one trailing separator is allowed.
    while (*p != '\0') {
        const char* start = p;
        while (*p != '\0' && *p != '\\')
            p = IsLead(*p) && p[1] != '\0' ? p + 2 : p + 1;
        if (!IsCreatableName(start, static_cast<size_t>(p - start)))
            return false;
        if (*p == '\\')
            ++p;
    }
    return true;
}

char* AddBackslash(char* path)
{
    if (path == nullptr)
        return nullptr;
    const size_t length = std::strlen(path);
    char* end = path + length;
    if (length == 0)
        return end;
    if (EndsInLoneLeadByte(path)) {
        SetLastSystemError(kErrorInvalidName);
        return nullptr;
    }
    if (*PrevChar(path, end) == '\\')
        return end;
    if (length >= PATH_BUFFER_SIZE - 2)
        return nullptr;
    end[0] = '\\';
    end[1] = '\0';
    return end + 1;
}

char* RemoveBackslash(char* path)
{
    if (path == nullptr || path[0] == '\0')
        return nullptr;
    char* last = PrevChar(path, path + std::strlen(path));
    if (*last == '\\' && !IsRootPath(path))
        *last = '\0';
    return last;
}

bool RemoveLastComponent(char* path)
{
    if (path == nullptr)
        return false;
    char* cut = path;
    for (char* p = path; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\') {
            cut = p;
        } else if (*p == ':') {
            if (p[1] == '\\') {
                cut = p + 2;
                ++p;  // the drive's separator is part of the root
            } else {
                cut = p + 1;
            }
        }
    }
    if (*cut == '\0')
        return false;
    // A leading "\" or "\\" stays: it is the root.
    if ((cut == path && *cut == '\\') || (cut == path + 1 && *cut == '\\' && path[0] == '\\')) {
        if (cut[1] == '\0')
            return false;
        cut[1] = '\0';
        return true;
    }
    *cut = '\0';
    return true;
}

bool StripToRoot(char* path)
{
    // A root stays as it is; \\server\share would otherwise lose its share.
    if (IsRootPath(path))
        return false;
    while (RemoveLastComponent(path)) {
        if (IsRootPath(path))
            return true;
    }
    return false;
}

HRESULT CopyAtMost(char* dest, size_t size, const char* source, size_t maxCount)
{
    if (dest == nullptr || size == 0 || source == nullptr)
        return E_INVALIDARG;
    size_t i = 0;
    while (i < size && i < maxCount && source[i] != '\0') {
        dest[i] = source[i];
        ++i;
    }
    if (i == size) {
        dest[size - 1] = '\0';
        return RESULT_INSUFFICIENT_BUFFER;
    }
    dest[i] = '\0';
    return S_OK;
}

bool CanonicalizePath(char* output, const char* source)
{
    if (output == nullptr || source == nullptr) {
        SetLastSystemError(kErrorInvalidParameter);
        return false;
    }
    output[0] = '\0';
    const bool unc = IsUncPath(source);
    char* cursor = output;
    const char* p = source;
    while (*p != '\0') {
        const size_t room = PATH_BUFFER_SIZE - static_cast<size_t>(cursor - output);
        const char* separator = FindChar(p, '\\');
        const size_t pieceLength = separator != nullptr ? static_cast<size_t>(separator - p) : std::strlen(p);
        if (pieceLength == 0) {
            // Separators are copied one by one, so doubled ones stay.
            if (CopyBounded(cursor, room, "\\") != S_OK)
                return false;
            ++cursor;
            ++p;
        } else if (pieceLength == 1 && p[0] == '.') {
            if (separator != nullptr) {
                p += 2;
            } else {
                ++p;
                // Drop the separator written before a final ".".
                if (output[0] != '\0' && !IsRootPath(output))
                    --cursor;
            }
        } else if (pieceLength == 2 && p[0] == '.' && p[1] == '.') {
            if (IsRootPath(output)) {
                p += 2;
                if (*p == '\\')
                    ++p;
            } else {
                if (cursor > output)
                    --cursor;  // over the separator before the ".."
                const char* last = FindLastChar(output, cursor, '\\');
                cursor = last != nullptr ? output + (last - output) : output;
                p += 2;
            }
        } else {
            if (CopyAtMost(cursor, room, p, pieceLength) != S_OK)
                return false;
            cursor += pieceLength;
            p += pieceLength;
        }
        *cursor = '\0';
    }
    if (output[0] == '\0') {
        CopyBounded(output, PATH_BUFFER_SIZE, "\\");
    } else if (IsDriveForm(output) && output[2] == '\0') {
        output[2] = '\\';
        output[3] = '\0';
    }
    if (unc && std::strcmp(output, "\\") == 0)
        CopyBounded(output, PATH_BUFFER_SIZE, "\\\\");
    return true;
}

HRESULT JoinPath(char* output, const char* directory, const char* name)
{
    if (output == nullptr)
        return E_FAIL;
    // A work buffer of its own: output may be either input.
    char work[PATH_BUFFER_SIZE];
    work[0] = '\0';
    const bool noDirectory = directory == nullptr || directory[0] == '\0';
    const bool noName = name == nullptr || name[0] == '\0';
    bool ok = true;
    if (noDirectory) {
        if (noName)
            ok = false;
        else
            CopyTruncated(work, sizeof work, name);
    } else if (noName) {
        CopyTruncated(work, sizeof work, directory);
    } else if (!IsRelativePath(name) && !(name[0] == '\\' && name[1] != '\\')) {
        // A drive or UNC name stands alone.
        CopyTruncated(work, sizeof work, name);
    } else {
        const char* rest = name;
        CopyTruncated(work, sizeof work, directory);
        if (!IsRelativePath(name)) {
            // "\name": from the directory's root.
            StripToRoot(work);
            ++rest;
        }
        if (EndsInLoneLeadByte(work)) {
            output[0] = '\0';
            return RESULT_INVALID_NAME;
        }
        char* end = AddBackslash(work);
        // The name must fit with its terminator.
        if (end == nullptr || std::strlen(rest) >= sizeof work - static_cast<size_t>(end - work))
            ok = false;
        else
            std::memcpy(end, rest, std::strlen(rest) + 1);
    }
    if (ok && work[0] != '\0' && CanonicalizePath(output, work))
        return S_OK;
    output[0] = '\0';
    return E_FAIL;
}

const char* FindExtension(const char* path)
{
    if (path == nullptr)
        return nullptr;
    const char* candidate = nullptr;
    const char* p = path;
    for (; *p != '\0'; p = NextChar(p)) {
        if (*p == '.')
            candidate = p;
        else if (*p == ' ' || *p == '\\')
            candidate = nullptr;
    }
    return candidate != nullptr ? candidate : p;
}

HRESULT JoinKeyPath(char* output, int32_t size, const char* keyPath, const char* subkey)
{
    if (size < 0)
        return E_INVALIDARG;
    HRESULT result = CopyBounded(output, static_cast<size_t>(size), keyPath);
    if (result != S_OK)
        return result;
    if (EndsInLoneLeadByte(keyPath))
        return RESULT_INVALID_NAME;
    // The appends never reach past the caller's buffer, nor past a path buffer.
    const size_t limit = static_cast<size_t>(size) < PATH_BUFFER_SIZE ? static_cast<size_t>(size) : PATH_BUFFER_SIZE;
    const char* end = keyPath + std::strlen(keyPath);
    if (end == keyPath || *PrevChar(keyPath, end) != '\\') {
        result = AppendBounded(output, limit, "\\");
        if (result != S_OK)
            return result;
    }
    return AppendBounded(output, limit, subkey);
}
