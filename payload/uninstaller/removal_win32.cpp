#include "removal_win32.h"

#include "registration/folder_paths.h"
#include "registration/product_names.h"

namespace {

HKEY RootHandle(RegRoot root)
{
    switch (root) {
    case RegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    }
    return nullptr;
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A text value, or false when it is missing or not text.
bool ReadText(HKEY root, const std::string& path, const char* name, std::string* text)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[1024];
    DWORD type = 0;
    DWORD size = sizeof(buffer) - 1;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[size] = '\0';
    *text = buffer;
    return true;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

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

bool Gone(DWORD error)
{
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

DWORD DeleteListedFile(const std::string& path)
{
    SetLastError(0);
    if (DeleteFileA(path.c_str()))
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        // A read-only file is still ours to delete.
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
            SetLastError(0);
            if (DeleteFileA(path.c_str()))
                return ERROR_SUCCESS;
            error = GetLastError();
            SetFileAttributesA(path.c_str(), attributes);
        }
    }
    return error ? error : ERROR_GEN_FAILURE;
}

DWORD RemoveListedDirectory(const std::string& path)
{
    SetLastError(0);
    if (RemoveDirectoryA(path.c_str()))
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

}  // namespace

std::vector<std::string> PathForms(const std::string& path)
{
    std::vector<std::string> forms{path};
    char buffer[MAX_PATH];
    DWORD length = GetLongPathNameA(path.c_str(), buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer) && path != buffer)
        forms.push_back(buffer);
    length = GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer) && path != buffer)
        forms.push_back(buffer);
    return forms;
}

InstallationPlaces FindInstallationPlaces(const std::string& directory)
{
    InstallationPlaces places;
    places.directory = PathForms(directory);
    char folder[MAX_PATH];
    // Without the folder service no shortcut counts as the product's.
    if (GetFolderPath(nullptr, ProgramsFolderId(), nullptr, 0, folder) == S_OK && folder[0])
        places.menuFolder = PathForms(std::string(folder) + "\\" + kMenuFolderName);
    if (GetFolderPath(nullptr, DesktopFolderId(), nullptr, 0, folder) == S_OK && folder[0])
        places.desktopLink = PathForms(std::string(folder) + "\\" + kShortcutFileName);
    return places;
}

SystemView RealSystem()
{
    SystemView view;
    view.otherForms = [](const std::string& path) {
        std::vector<std::string> forms = PathForms(path);
        forms.erase(forms.begin());
        return forms;
    };
    view.keyExists = [](const RegKeyName& key) { return KeyExists(RootHandle(key.root), key.path); };
    view.readText = [](const RegKeyName& key, const char* name, std::string* text) {
        return ReadText(RootHandle(key.root), key.path, name, text);
    };
    view.subkeys = [](const RegKeyName& key) { return SubkeyNames(RootHandle(key.root), key.path); };
    return view;
}

DWORD DeleteKeyTree(HKEY root, const char* path)
{
    HKEY key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_READ | DELETE, &key);
    if (status != ERROR_SUCCESS)
        return static_cast<DWORD>(status);
    // Enumerate afresh after each deletion: indexes shift as keys go.
    char name[256];
    DWORD skipped = 0;
    DWORD firstError = ERROR_SUCCESS;
    for (;;) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, skipped, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::string child = std::string(path) + "\\" + name;
        DWORD error = DeleteKeyTree(root, child.c_str());
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

RemovalOutcome ExecuteRemoval(const RemovalPlan& plan)
{
    RemovalOutcome outcome;
    for (const std::string& file : plan.files) {
        DWORD error = DeleteListedFile(file);
        if (!Gone(error))
            outcome.failures.push_back({file, error});
    }
    for (const std::string& dir : plan.dirs) {
        DWORD error = RemoveListedDirectory(dir);
        // Files the log does not list are not ours: their directory stays.
        if (error == ERROR_DIR_NOT_EMPTY)
            outcome.keptDirs.push_back(dir);
        else if (!Gone(error))
            outcome.failures.push_back({dir, error});
    }
    bool productKeyRemoved = false;
    auto removeKeys = [&](const std::vector<RegKeyName>& keys) {
        for (const RegKeyName& key : keys) {
            DWORD error = DeleteKeyTree(RootHandle(key.root), key.path.c_str());
            if (!Gone(error)) {
                outcome.failures.push_back({FormatKeyName(key), error});
            } else if (key.root == RegRoot::LocalMachine && EqualsIgnoreCase(key.path, kProductKeyPath)) {
                productKeyRemoved = true;
            }
        }
    };
    removeKeys(plan.keys);
    // While anything stayed, the uninstall entry and App Paths stay too, so
    // that the uninstall can be finished later.
    if (outcome.failures.empty())
        removeKeys(plan.finishing);
    // The vendor key holds nothing but the product; left empty, it goes too.
    if (productKeyRemoved && KeyIsEmpty(HKEY_LOCAL_MACHINE, kVendorKeyPath))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorKeyPath);
    return outcome;
}
