#include "ground/directory.h"

#include <windows.h>

bool CreateSystemDirectory(const char* path)
{
    return CreateDirectoryA(path, nullptr) != FALSE;
}

SystemEntry FindSystemEntry(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return SystemEntry::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? SystemEntry::Directory : SystemEntry::File;
}
