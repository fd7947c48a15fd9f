#include "registration/registry_writer.h"

#include <cstring>

#include "ground/path.h"
#include "installlog/install_log.h"
#include "installlog/registry_root.h"

namespace {

// The registry calls return their error directly; 0 is success.
HRESULT ResultFromRegistry(LONG error)
{
    return error == ERROR_SUCCESS ? S_OK : ResultFromWin32(static_cast<uint32_t>(error));
}

// The key's line of the log, as the uninstaller reads it; a root the log
// cannot name fails as a line too long would.
HRESULT ComposeLogLine(HKEY root, const char* keyPath, char* line, size_t size)
{
    RegRoot logRoot;
    if (!LogRootOf(root, &logRoot))
        return ResultFromWin32(ERROR_INVALID_PARAMETER);
    HRESULT result = CopyBounded(line, size, RootKeyName(logRoot));
    if (result == S_OK)
        result = AppendBounded(line, size, "\\");
    if (result == S_OK)
        result = AppendBounded(line, size, keyPath);
    return result;
}

}  // namespace

HRESULT OpenRegKey(HKEY root, const char* keyPath, HKEY* key)
{
    return ResultFromRegistry(RegOpenKeyA(root, keyPath, key));
}

HRESULT CreateRegKey(HKEY root, const char* keyPath, HKEY* key)
{
    return ResultFromRegistry(RegCreateKeyA(root, keyPath, key));
}

HRESULT SetRegValue(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD size)
{
    return ResultFromRegistry(RegSetValueExA(key, valueName, reserved, type, data, size));
}

HRESULT DeleteRegKey(HKEY root, const char* keyPath)
{
    return ResultFromRegistry(RegDeleteKeyA(root, keyPath));
}

HRESULT WriteRegValue(HKEY root, const char* keyPath, const char* valueName, DWORD type,
                      const BYTE* data, DWORD size, InstallLog* log)
{
    HKEY key = nullptr;
    HRESULT result = OpenRegKey(root, keyPath, &key);
    if (result != S_OK) {
        // The line is composed first: a key that cannot be logged is never
        // created, since a cut line would name another key.
        char line[PATH_BUFFER_SIZE];
        result = ComposeLogLine(root, keyPath, line, sizeof line);
        if (result != S_OK) {
            return result;
        }
        result = CreateRegKey(root, keyPath, &key);
        if (result != S_OK) {
            return result;
        }
        if (log != nullptr) {
            result = log->Add(LogEntryKind::RegKey, line);
        }
        if (result != S_OK) {
            // Nor does one stay created without its line.
            RegCloseKey(key);
            RegDeleteKeyA(root, keyPath);
            return result;
        }
    }
    if (data != nullptr) {
        result = SetRegValue(key, valueName, 0, type, data, size);
    }
    RegCloseKey(key);
    return result;
}

HRESULT WriteRegString(HKEY root, const char* keyPath, const char* valueName, const char* text,
                       InstallLog* log)
{
    if (text == nullptr) {
        return WriteRegValue(root, keyPath, valueName, REG_SZ, nullptr, 0, log);
    }
    return WriteRegValue(root, keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text),
                         static_cast<DWORD>(strlen(text) + 1), log);
}
