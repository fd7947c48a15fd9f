#include "installlog/installation_places_win32.h"

#include <cstring>

#include "ground/folder_paths.h"
#include "ground/product_names.h"
#include "ground/temporary_name.h"

namespace {

int OtherForms(void*, const char* path, char (*forms)[kPathSize], int max)
{
    PathForms all;
    RealPathForms(path, &all);
    int count = 0;
    for (int i = 1; i < all.count && count < max; ++i)
        std::strcpy(forms[count++], all.form[i]);
    return count;
}

ItemKind Kind(void*, const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ItemKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ItemKind::Directory : ItemKind::File;
}

bool KeyExists(void*, const RegKeyName& name)
{
    HKEY key;
    if (RegOpenKeyExA(RootHandle(name.root), name.path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ReadText(void*, const RegKeyName& name, const char* valueName, char* text, size_t size)
{
    HKEY key;
    if (RegOpenKeyExA(RootHandle(name.root), name.path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(size - 1);
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    text[bytes] = '\0';
    return true;
}

bool Subkey(void*, const RegKeyName& name, unsigned index, char* out, size_t size)
{
    HKEY key;
    if (RegOpenKeyExA(RootHandle(name.root), name.path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD length = static_cast<DWORD>(size);
    LONG status = RegEnumKeyExA(key, index, out, &length, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void Temporaries(void*, const char* directory, TextList* found, TextPool* pool)
{
    char pattern[MAX_PATH];
    if (!JoinText(pattern, sizeof(pattern), directory, "\\ORV*.TMP"))
        return;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        // The pattern also meets other names through their short forms.
        if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsTemporaryName(data.cFileName))
            AppendText(found, PoolJoin(pool, directory, "\\", data.cFileName));
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

}  // namespace

void RealPathForms(const char* path, PathForms* forms)
{
    forms->count = 0;
    AddPathForm(forms, path);
    char buffer[MAX_PATH];
    DWORD length = GetLongPathNameA(path, buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer))
        AddPathForm(forms, buffer);
    length = GetShortPathNameA(path, buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer))
        AddPathForm(forms, buffer);
}

void FindInstallationPlaces(const char* directory, InstallationPlaces* places)
{
    RealPathForms(directory, &places->directory);
    places->menuFolder.count = 0;
    places->desktopLink.count = 0;
    char folder[MAX_PATH];
    char path[MAX_PATH];
    // Without the folder service no shortcut counts as the product's.
    if (GetFolderPath(nullptr, ProgramsFolderId(), nullptr, 0, folder) == S_OK && folder[0] &&
        JoinText(path, sizeof(path), folder, "\\", kMenuFolderName))
        RealPathForms(path, &places->menuFolder);
    if (GetFolderPath(nullptr, DesktopFolderId(), nullptr, 0, folder) == S_OK && folder[0] &&
        JoinText(path, sizeof(path), folder, "\\", kShortcutFileName))
        RealPathForms(path, &places->desktopLink);
}

SystemView RealSystem()
{
    SystemView view;
    view.otherForms = OtherForms;
    view.kind = Kind;
    view.keyExists = KeyExists;
    view.readText = ReadText;
    view.subkey = Subkey;
    view.temporaries = Temporaries;
    return view;
}

