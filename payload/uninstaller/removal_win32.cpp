#include "removal_win32.h"

#include "registration/product.h"

namespace {

const char* const VERSIONS[] = {"3.0", "3.1", "4.0", "5.0", "6.0"};

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

bool Inside(const std::string& text, const std::vector<std::string>& forms)
{
    for (const std::string& dir : forms) {
        if (NamesPathInside(text.c_str(), dir.c_str()))
            return true;
    }
    return false;
}

// Some value of the key names a path inside the directory.
bool AnyValueInside(HKEY root, const std::string& path, std::initializer_list<const char*> names,
                    const std::vector<std::string>& forms)
{
    for (const char* name : names) {
        std::string text;
        if (ReadText(root, path, name, &text) && Inside(text, forms))
            return true;
    }
    return false;
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

std::vector<std::string> DirectoryForms(const std::string& directory)
{
    std::vector<std::string> forms{directory};
    char buffer[MAX_PATH];
    DWORD length = GetLongPathNameA(directory.c_str(), buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer))
        forms.push_back(buffer);
    length = GetShortPathNameA(directory.c_str(), buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer))
        forms.push_back(buffer);
    return forms;
}

std::vector<RegKeyName> FindOwnRegistrations(const std::vector<std::string>& forms)
{
    std::vector<RegKeyName> keys;
    auto add = [&keys](RegRoot root, const std::string& path) { keys.push_back(RegKeyName{root, path}); };

    if (AnyValueInside(HKEY_LOCAL_MACHINE, kAppPathKeyPath, {"", "Path"}, forms))
        add(RegRoot::LocalMachine, kAppPathKeyPath);
    if (AnyValueInside(HKEY_LOCAL_MACHINE, kUninstallKeyPath, {"UninstallString"}, forms))
        add(RegRoot::LocalMachine, kUninstallKeyPath);

    // Version keys of this installation; the product key only when no
    // version key of another installation remains below it.
    std::vector<std::string> ours;
    for (const char* version : VERSIONS) {
        std::string path = std::string(kProductKeyPath) + "\\" + version;
        if (AnyValueInside(HKEY_LOCAL_MACHINE, path, {"AppPath", "Path"}, forms)) {
            add(RegRoot::LocalMachine, path);
            ours.push_back(version);
        }
    }
    if (AnyValueInside(HKEY_LOCAL_MACHINE, kProductKeyPath, {"AppPath"}, forms)) {
        bool foreign = false;
        for (const std::string& name : SubkeyNames(HKEY_LOCAL_MACHINE, kProductKeyPath)) {
            bool mine = false;
            for (const std::string& version : ours)
                mine = mine || EqualsIgnoreCase(version, name);
            foreign = foreign || !mine;
        }
        if (!foreign)
            add(RegRoot::LocalMachine, kProductKeyPath);
    }

    // The drawing class and its file type, only while they lead to this
    // installation's viewer; another program may serve them by now.
    const std::string classKey = kDrawingClassKeyPath;
    bool classOurs = AnyValueInside(HKEY_CLASSES_ROOT, classKey + "\\LocalServer32", {""}, forms) ||
                     AnyValueInside(HKEY_CLASSES_ROOT, classKey + "\\LocalServer", {""}, forms);
    if (classOurs)
        add(RegRoot::ClassesRoot, kDrawingClassKeyPath);

    auto namesOurClass = [](const char* progId) {
        std::string clsid;
        return ReadText(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID", "", &clsid) &&
               EqualsIgnoreCase(clsid, kDrawingClassId);
    };
    bool versionOurs = false;
    {
        std::string base = kDrawingVersionProgId;
        const std::string pathKeys[] = {base + "\\Shell\\Open\\Command", base + "\\Protocol\\StdFileEditing\\Server",
                                        base + "\\DefaultIcon"};
        bool anyPath = false;
        for (const std::string& path : pathKeys) {
            std::string text;
            if (ReadText(HKEY_CLASSES_ROOT, path, "", &text)) {
                anyPath = true;
                versionOurs = versionOurs || Inside(text, forms);
            }
        }
        if (!anyPath)
            versionOurs = classOurs && namesOurClass(kDrawingVersionProgId);
    }
    if (versionOurs)
        add(RegRoot::ClassesRoot, kDrawingVersionProgId);
    bool baseOurs = classOurs && KeyExists(HKEY_CLASSES_ROOT, kDrawingProgId) && namesOurClass(kDrawingProgId);
    if (baseOurs)
        add(RegRoot::ClassesRoot, kDrawingProgId);

    std::string type;
    if (ReadText(HKEY_CLASSES_ROOT, ".kdw", "", &type) &&
        ((versionOurs && EqualsIgnoreCase(type, kDrawingVersionProgId)) ||
         (baseOurs && EqualsIgnoreCase(type, kDrawingProgId))))
        add(RegRoot::ClassesRoot, ".kdw");
    return keys;
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

std::vector<RemovalFailure> ExecuteRemoval(const RemovalPlan& plan)
{
    std::vector<RemovalFailure> failures;
    for (const std::string& file : plan.files) {
        DWORD error = DeleteListedFile(file);
        if (!Gone(error))
            failures.push_back({file, error});
    }
    for (const std::string& dir : plan.dirs) {
        DWORD error = RemoveListedDirectory(dir);
        if (!Gone(error))
            failures.push_back({dir, error});
    }
    bool productKeyRemoved = false;
    for (const RegKeyName& key : plan.keys) {
        // A root never gets here: the log reader refuses bare roots.
        if (key.path.empty())
            continue;
        DWORD error = DeleteKeyTree(RootHandle(key.root), key.path.c_str());
        if (!Gone(error)) {
            failures.push_back({FormatKeyName(key), error});
        } else if (key.root == RegRoot::LocalMachine && EqualsIgnoreCase(key.path, kProductKeyPath)) {
            productKeyRemoved = true;
        }
    }
    // The vendor key holds nothing but the product; left empty, it goes too.
    if (productKeyRemoved && KeyIsEmpty(HKEY_LOCAL_MACHINE, kVendorKeyPath))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorKeyPath);
    return failures;
}
