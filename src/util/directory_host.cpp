// The host keeps "\" as the program's separator and turns it into "/" only
// here, stepping by characters so trail bytes 0x5C stay what they are.
#include "util/directory.h"

#include <sys/stat.h>

#include <cerrno>

#include "util/codepage.h"
#include "util/path.h"

bool CreateSystemDirectory(const char* path)
{
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    char native[PATH_BUFFER_SIZE];
    if (CopyBounded(native, sizeof native, path) != S_OK) {
        errno = ENAMETOOLONG;
        return false;
    }
    for (char* p = native; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\')
            *p = '/';
    }
    return mkdir(native, 0777) == 0;
}
