#include "util/directory.h"

#include <windows.h>

bool CreateSystemDirectory(const char* path)
{
    return CreateDirectoryA(path, nullptr) != FALSE;
}

bool RemoveSystemDirectory(const char* path)
{
    return RemoveDirectoryA(path) != FALSE;
}
