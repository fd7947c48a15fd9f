// Directory creation logged in INSTALL.LOG. Built on the platform's
// directory services (ground/directory.h) and the path operations.
#include "installlog/directory_creation.h"

#include <cstring>

#include "ground/directory.h"
#include "ground/path.h"
#include "ground/system_error.h"
#include "installlog/install_log.h"

HRESULT CreateDirectoryLogged(const char* path, InstallLog* log)
{
    if (path == nullptr)
        return E_INVALIDARG;
    if (log != nullptr) {
        // A new directory is listed before it is made, so that a run stopped
        // in between leaves none that the log does not name; so only one
        // whose parent is there to hold it.
        if (FindSystemEntry(path) != SystemEntry::Missing)
            return S_OK;
        char parent[PATH_BUFFER_SIZE];
        if (CopyBounded(parent, sizeof parent, path) == S_OK && RemoveLastComponent(parent)) {
            RemoveBackslash(parent);
            if (parent[0] != '\0' && FindSystemEntry(parent) != SystemEntry::Directory)
                return RESULT_PATH_NOT_FOUND;
        }
        const HRESULT logged = log->Add(LogEntryKind::Dir, path);
        if (logged != S_OK)
            return logged;
    }
    SetLastSystemError(0);
    if (CreateSystemDirectory(path))
        return S_OK;
    const HRESULT result = ResultFromLastError();
    // Whatever is there already counts as created, but was not created by us.
    return result == RESULT_ALREADY_EXISTS ? S_OK : result;
}

HRESULT CreateParentDirectories(const char* path, InstallLog* log)
{
    char work[PATH_BUFFER_SIZE];
    HRESULT result = CopyBounded(work, sizeof work, path);
    if (result != S_OK)
        return result;
    const size_t length = std::strlen(work);
    RemoveLastComponent(work);
    RemoveBackslash(work);  // the residue of a doubled separator
    // A bare name has nothing above it either.
    if (std::strlen(work) == length || work[0] == '\0' || IsRootPath(work))
        return S_OK;
    result = CreateDirectoryLogged(work, log);
    if (result != RESULT_PATH_NOT_FOUND)
        return result;
    // Its parent is missing: outermost first, so each is logged in order.
    result = CreateParentDirectories(work, log);
    if (result != S_OK)
        return result;
    return CreateDirectoryLogged(work, log);
}
