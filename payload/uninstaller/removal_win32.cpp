#include "removal_win32.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ground/folder_paths.h"
#include "ground/product_names.h"

namespace {

bool KeyIsEmpty(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1, values = 1;
    LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

bool IsPlace(const char* path, const InstallationPlaces& places, bool* within)
{
    *within = false;
    for (const PathForms* place : {&places.directory, &places.menuFolder}) {
        for (int i = 0; i < place->count; ++i) {
            if (SamePath(path, place->form[i]))
                return true;
            *within = *within || PathWithin(path, place->form[i], false);
        }
    }
    return false;
}

// A registry symbolic link: deleting below it would delete what it leads to
// (the per-user key can be written by the user's other programs).
bool IsKeyLink(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_LINK;
}

DWORD LastError()
{
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

}  // namespace

void AddFailure(RemovalOutcome* outcome, const char* item, DWORD error)
{
    if (!item || !GrowArray(reinterpret_cast<void**>(&outcome->failures), &outcome->failureCapacity,
                            outcome->failureCount, sizeof(RemovalFailure))) {
        outcome->failed = true;
        return;
    }
    outcome->failures[outcome->failureCount++] = RemovalFailure{item, error};
}

void FreeOutcome(RemovalOutcome* outcome)
{
    std::free(outcome->failures);
    FreeTexts(&outcome->keptDirs);
    FreeTexts(&outcome->links);
    FreePool(&outcome->texts);
    *outcome = RemovalOutcome();
}

bool Gone(DWORD error)
{
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool LinkOnTheWay(const char* path, const InstallationPlaces& places)
{
    // Items of one directory follow each other: the last directory found
    // free of links up to its place is remembered.
    static char clean[MAX_PATH];
    char at[MAX_PATH];
    if (!JoinText(at, sizeof(at), path))
        return true;
    char parent[MAX_PATH] = "";
    for (bool item = true;; item = false) {
        if (!item && (std::strcmp(at, clean) == 0 || !IsPlainPath(at)))
            break;
        DWORD attributes = GetFileAttributesA(at);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
        bool within = false;
        if (IsPlace(at, places, &within) || !within || !ParentDirectory(at, at, sizeof(at)))
            break;
        if (item)
            JoinText(parent, sizeof(parent), at);
    }
    if (parent[0])
        JoinText(clean, sizeof(clean), parent);
    return false;
}

DWORD DeleteListedFile(const char* path)
{
    SetLastError(0);
    if (DeleteFileA(path))
        return ERROR_SUCCESS;
    DWORD error = LastError();
    if (error == ERROR_ACCESS_DENIED) {
        // A read-only file is still ours to delete.
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
            SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
            SetLastError(0);
            if (DeleteFileA(path))
                return ERROR_SUCCESS;
            error = LastError();
            SetFileAttributesA(path, attributes);
        }
    }
    return error;
}

DWORD DeleteKeyTree(HKEY root, const char* path)
{
    if (IsKeyLink(root, path))
        return ERROR_ACCESS_DENIED;
    HKEY key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_READ | DELETE, &key);
    if (status != ERROR_SUCCESS)
        return static_cast<DWORD>(status);
    // Enumerate afresh after each deletion: indexes shift as keys go.
    char name[256];
    char child[MAX_PATH + 256];
    DWORD skipped = 0;
    DWORD firstError = ERROR_SUCCESS;
    for (;;) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, skipped, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DWORD error = JoinText(child, sizeof(child), path, "\\", name) ? DeleteKeyTree(root, child)
                                                                       : static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE);
        if (!Gone(error)) {
            ++skipped;
            if (firstError == ERROR_SUCCESS)
                firstError = error;
        }
    }
    RegCloseKey(key);
    if (firstError != ERROR_SUCCESS)
        return firstError;
    return static_cast<DWORD>(RegDeleteKeyA(root, path));
}

DWORD RemoveOwnKey(const RegKeyName& name)
{
    HKEY root = RootHandle(name.root);
    if (!(name.root == RegRoot::ClassesRoot && EqualsIgnoreCase(name.path, kDrawingExtension)))
        return DeleteKeyTree(root, name.path);
    // Other programs add their own entries to a file type (OpenWithProgids
    // and the like): only the default value the setup wrote goes.
    HKEY key;
    LONG status = RegOpenKeyExA(root, name.path, 0, KEY_READ | KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return static_cast<DWORD>(status);
    status = RegDeleteValueA(key, "");
    RegCloseKey(key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return static_cast<DWORD>(status);
    if (KeyIsEmpty(root, name.path))
        return static_cast<DWORD>(RegDeleteKeyA(root, name.path));
    return ERROR_SUCCESS;
}

void ExecuteRemoval(const RemovalPlan& plan, const InstallationPlaces& places, RemovalOutcome* outcome)
{
    for (size_t i = 0; i < plan.files.count; ++i) {
        const char* file = plan.files.items[i];
        if (LinkOnTheWay(file, places)) {
            AppendText(&outcome->links, file);
            continue;
        }
        DWORD error = DeleteListedFile(file);
        if (!Gone(error))
            AddFailure(outcome, file, error);
    }
    for (size_t i = 0; i < plan.dirs.count; ++i) {
        const char* dir = plan.dirs.items[i];
        if (LinkOnTheWay(dir, places)) {
            AppendText(&outcome->links, dir);
            continue;
        }
        SetLastError(0);
        DWORD error = RemoveDirectoryA(dir) ? ERROR_SUCCESS : LastError();
        // Files the log does not list are not ours: their directory stays.
        if (error == ERROR_DIR_NOT_EMPTY)
            AppendText(&outcome->keptDirs, dir);
        else if (!Gone(error))
            AddFailure(outcome, dir, error);
    }
    bool productKeyRemoved = false;
    for (size_t i = 0; i < plan.keys.count; ++i) {
        const RegKeyName& key = plan.keys.items[i];
        DWORD error = RemoveOwnKey(key);
        if (!Gone(error)) {
            char name[MAX_PATH + 32];
            AddFailure(outcome, FormatKeyName(key, name, sizeof(name)) ? PoolJoin(&outcome->texts, name) : key.path,
                       error);
        } else if (key.root == RegRoot::LocalMachine && EqualsIgnoreCase(key.path, kProductKeyPath)) {
            productKeyRemoved = true;
        }
    }
    // The vendor key holds nothing but the product; left empty, it goes too.
    if (productKeyRemoved && KeyIsEmpty(HKEY_LOCAL_MACHINE, kVendorKeyPath))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorKeyPath);
}

bool SameFile(const char* a, const char* b)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const char* paths[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileA(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        BOOL ok = GetFileInformationByHandle(file, &info[i]);
        CloseHandle(file);
        if (!ok)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}
