#include "registry_helpers.h"

#include <gtest/gtest.h>

bool KeyExists(HKEY root, const std::string& key)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::string ReadString(HKEY root, const std::string& key, const char* name)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<missing>";
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    LONG status = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return "<missing>";
    if (type != REG_SZ)
        return "<not REG_SZ>";
    if (size == 0 || data[size - 1] != '\0')
        return "<unterminated>";
    return std::string(data, size - 1);
}

void SetString(HKEY root, const std::string& key, const char* name, const std::string& text)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyA(root, key.c_str(), &handle), ERROR_SUCCESS) << key;
    EXPECT_EQ(RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

void DeleteKeyTree(HKEY root, const std::string& key)
{
    LONG error = RegDeleteTreeA(root, key.c_str());
    if (error == ERROR_SUCCESS)
        error = RegDeleteKeyA(root, key.c_str());
    ASSERT_TRUE(error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) << key << ": " << error;
}
