// Registry writer: every key it has to create is entered in the install log
// at the moment it is created, so the uninstaller knows what to remove.
#pragma once

#include <windows.h>

#include "ground/result.h"

class InstallLog;

// Thin wrappers over the registry calls; each gives ResultFromWin32 of the
// system's error (0 gives S_OK).
HRESULT OpenRegKey(HKEY root, const char* keyPath, HKEY* key);
HRESULT CreateRegKey(HKEY root, const char* keyPath, HKEY* key);
HRESULT SetRegValue(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD size);
HRESULT DeleteRegKey(HKEY root, const char* keyPath);

// Opens the key, or creates it and logs "HKEY_LOCAL_MACHINE\..." or
// "HKEY_CLASSES_ROOT\..."; then sets the value when data is given (no data:
// the key alone). An empty value name is the key's default value.
HRESULT WriteRegValue(HKEY root, const char* keyPath, const char* valueName, DWORD type,
                      const BYTE* data, DWORD size, InstallLog* log);
// REG_SZ form of WriteRegValue; a null text creates (and logs) the key only.
HRESULT WriteRegString(HKEY root, const char* keyPath, const char* valueName, const char* text,
                       InstallLog* log);
