// The host keeps "\" as the program's separator and turns it into "/" only
// here, stepping by characters so trail bytes 0x5C stay what they are.
#include "ground/directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ground/codepage.h"
#include "ground/path.h"

namespace {

bool ToNative(char* native, const char* path)
{
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    if (CopyBounded(native, PATH_BUFFER_SIZE, path) != S_OK) {
        errno = ENAMETOOLONG;
        return false;
    }
    for (char* p = native; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\')
            *p = '/';
    }
    return true;
}

}  // namespace

bool CreateSystemDirectory(const char* path)
{
    char native[PATH_BUFFER_SIZE];
    return ToNative(native, path) && mkdir(native, 0777) == 0;
}

SystemEntry FindSystemEntry(const char* path)
{
    char native[PATH_BUFFER_SIZE];
    struct stat info;
    if (!ToNative(native, path) || stat(native, &info) != 0)
        return SystemEntry::Missing;
    return S_ISDIR(info.st_mode) ? SystemEntry::Directory : SystemEntry::File;
}
