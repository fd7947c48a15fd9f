// Finding where an earlier installation of the product lives, so the
// destination page can offer the same directory again.
#pragma once

#include <windows.h>

#include "ground/path.h"

struct EarlierInstallInfo {
    char AppName[PATH_BUFFER_SIZE];
    char AppPath[PATH_BUFFER_SIZE];
};

// True when the product key names this product and at least one version key
// exists; AppPath then holds the earlier executable's full path. Every
// failure is false, without a message.
bool FindEarlierInstall(const char* productKey, EarlierInstallInfo* info);
// Reads a value into buffer (size bytes); 0, or E_FAIL for every failure.
HRESULT ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName,
                          DWORD size, char* buffer);
bool KeyExists(HKEY root, const char* keyPath);
