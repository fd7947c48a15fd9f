#include "registration/remove_earlier.h"

#include <cstring>

#include "ground/folder_paths.h"
#include "ground/path.h"
#include "ground/product_names.h"
#include "ground/result.h"
#include "registration/registry_writer.h"

namespace {

// A code meaning "nothing there to remove" counts as done.
HRESULT IgnoreAbsent(HRESULT result, HRESULT absent)
{
    return result == absent ? S_OK : result;
}

HRESULT FormProgramFolderName(char* name, const char* version)
{
    HRESULT result = CopyBounded(name, PATH_BUFFER_SIZE, kMenuFolderPrefix);
    if (result == S_OK)
        result = AppendBounded(name, PATH_BUFFER_SIZE, version);
    return result;
}

HRESULT FormPathBelow(char* child, const char* path, const char* name)
{
    HRESULT result = CopyBounded(child, PATH_BUFFER_SIZE, path);
    if (result == S_OK)
        result = AppendBounded(child, PATH_BUFFER_SIZE, "\\");
    if (result == S_OK)
        result = AppendBounded(child, PATH_BUFFER_SIZE, name);
    return result;
}

HRESULT DeleteEntry(const char* child, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A junction or symbolic link: remove the link only. Walking into it
        // or resetting its attributes would reach whatever it points to.
        SetLastError(0);
        BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(child)
                                                                : DeleteFileA(child);
        return removed ? S_OK : ResultFromLastError();
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return DeleteTree(child);
    // Read-only, hidden and system files go too.
    SetFileAttributesA(child, FILE_ATTRIBUTE_NORMAL);
    SetLastError(0);
    return DeleteFileA(child) ? S_OK : ResultFromLastError();
}

}  // namespace

HRESULT DeleteTree(const char* path)
{
    // The folder may itself be a link: then only the link goes.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return DeleteEntry(path, attributes);

    char pattern[PATH_BUFFER_SIZE];
    HRESULT result = CopyBounded(pattern, sizeof pattern, path);
    if (result == S_OK)
        result = AppendBounded(pattern, sizeof pattern, "\\*");
    if (result != S_OK)
        return result;

    WIN32_FIND_DATAA entry;
    SetLastError(0);
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // A missing directory gives ERROR_PATH_NOT_FOUND, which the caller
        // takes as nothing to delete.
        if (error != 0 && error != ERROR_FILE_NOT_FOUND)
            return ResultFromWin32(error);
    } else {
        for (;;) {
            const char* name = entry.cFileName;
            // The directory's own entries, told by their bytes (exact
            // comparison), not by a comparison in the user's locale.
            if (name[0] != '\0' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
                char child[PATH_BUFFER_SIZE];
                result = FormPathBelow(child, path, name);
                if (result == S_OK)
                    result = DeleteEntry(child, entry.dwFileAttributes);
                if (result != S_OK) {
                    FindClose(search);
                    return result;
                }
            }
            SetLastError(0);
            if (!FindNextFileA(search, &entry))
                break;
        }
        FindClose(search);
    }

    SetLastError(0);
    return RemoveDirectoryA(path) ? S_OK : ResultFromLastError();
}

HRESULT DeleteShortcut(const char* folder, const char* name)
{
    char path[PATH_BUFFER_SIZE];
    HRESULT result = JoinPath(path, folder, name);
    if (result != S_OK)
        return result;
    result = AppendBounded(path, sizeof path, ".lnk");
    if (result != S_OK)
        return result;
    SetLastError(0);
    return DeleteFileA(path) ? S_OK : ResultFromLastError();
}

namespace {

// Whether the uninstall entry at keyPath runs exactly command (ignoring
// case, as paths are).
bool StartsUninstall(const char* keyPath, const char* command)
{
    if (command == nullptr)
        return false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char stored[PATH_BUFFER_SIZE + 1];
    DWORD type = 0;
    DWORD size = sizeof stored - 1;
    const LONG status =
        RegQueryValueExA(key, "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    stored[size] = '\0';
    return lstrcmpiA(stored, command) == 0;
}

}  // namespace

HRESULT RemoveVersion(HWND owner, const char* productKey, const char* version, const char* keptUninstallCommand)
{
    char folderName[PATH_BUFFER_SIZE];
    char programs[PATH_BUFFER_SIZE];
    char programFolder[PATH_BUFFER_SIZE];
    char keyPath[PATH_BUFFER_SIZE];
    char entryName[PATH_BUFFER_SIZE];
    char desktop[PATH_BUFFER_SIZE];

    // The per-user folders on Windows 95/98/Me, the all-users ones on NT.
    // 1. The Start-menu program folder with everything in it.
    HRESULT result = GetFolderPath(owner, ProgramsFolderId(), nullptr, 0, programs);
    if (result != S_OK)
        return result;
    result = FormProgramFolderName(folderName, version);
    if (result != S_OK)
        return result;
    result = JoinPath(programFolder, programs, folderName);
    if (result != S_OK)
        return result;
    result = IgnoreAbsent(DeleteTree(programFolder), RESULT_PATH_NOT_FOUND);
    if (result != S_OK)
        return result;

    // 2. The version key. A single delete: a key with subkeys fails on the
    // NT family, and that ends the removal.
    result = JoinKeyPath(keyPath, PATH_BUFFER_SIZE, productKey, version);
    if (result != S_OK)
        return result;
    result = IgnoreAbsent(DeleteRegKey(HKEY_LOCAL_MACHINE, keyPath), RESULT_FILE_NOT_FOUND);
    if (result != S_OK)
        return result;

    // 3. The uninstall entry.
    result = CopyBounded(entryName, sizeof entryName, kUninstallEntryPrefix);
    if (result == S_OK)
        result = AppendBounded(entryName, sizeof entryName, version);
    if (result == S_OK)
        result = JoinKeyPath(keyPath, PATH_BUFFER_SIZE, kUninstallListKeyPath, entryName);
    if (result != S_OK)
        return result;
    if (!(std::strcmp(version, kProductVersion) == 0 && StartsUninstall(keyPath, keptUninstallCommand))) {
        result = IgnoreAbsent(DeleteRegKey(HKEY_LOCAL_MACHINE, keyPath), RESULT_FILE_NOT_FOUND);
        if (result != S_OK)
            return result;
    }

    // 4. The desktop folder.
    result = GetFolderPath(owner, DesktopFolderId(), nullptr, 0, desktop);
    if (result != S_OK)
        return result;

    // 5. The unversioned desktop shortcut; after the first version's pass it
    // is gone and this finds nothing.
    result = IgnoreAbsent(DeleteShortcut(desktop, kProductName), RESULT_FILE_NOT_FOUND);
    if (result != S_OK)
        return result;

    // 6. The desktop shortcut named like the program folder.
    return IgnoreAbsent(DeleteShortcut(desktop, folderName), RESULT_FILE_NOT_FOUND);
}

HRESULT RemoveEarlierVersions(HWND owner, const char* productKey, const char* keptUninstallCommand)
{
    for (const char* version : kProductVersions) {
        HRESULT result = RemoveVersion(owner, productKey, version, keptUninstallCommand);
        if (result != S_OK)
            return result;
    }
    return S_OK;
}
