#include "util/directory.h"

#include <windows.h>

bool CreateSystemDirectory(const char* path)
{
    return CreateDirectoryA(path, nullptr) != FALSE;
}
