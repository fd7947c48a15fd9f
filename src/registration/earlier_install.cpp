#include "registration/earlier_install.h"

#include <cstring>

#include "ground/product_names.h"
#include "ground/result.h"

HRESULT ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName,
                          DWORD size, char* buffer)
{
    if (size == 0 || buffer == nullptr)
        return E_FAIL;
    HKEY key;
    if (RegOpenKeyA(root, keyPath, &key) != ERROR_SUCCESS)
        return E_FAIL;
    DWORD length = size;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return E_FAIL;
    // The writer stores the terminator, but a value written by anything else
    // need not have one: end the text with the data, or with the buffer.
    buffer[length < size ? length : size - 1] = '\0';
    return S_OK;
}

bool KeyExists(HKEY root, const char* keyPath)
{
    HKEY key;
    if (RegOpenKeyA(root, keyPath, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool FindEarlierInstall(const char* productKey, EarlierInstallInfo* info)
{
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, productKey, "AppName", sizeof info->AppName,
                          info->AppName) != S_OK)
        return false;
    // Another product registered under the same key is not ours to offer.
    if (std::strcmp(info->AppName, kProductName) != 0)
        return false;
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, productKey, "AppPath", sizeof info->AppPath,
                          info->AppPath) != S_OK)
        return false;

    // The product key's values alone are not an installation: some version
    // key must exist too.
    bool found = false;
    for (const char* version : kProductVersions) {
        char versionKey[PATH_BUFFER_SIZE];
        if (JoinKeyPath(versionKey, PATH_BUFFER_SIZE, productKey, version) != S_OK)
            return false;
        if (KeyExists(HKEY_LOCAL_MACHINE, versionKey))
            found = true;
    }
    return found;
}
