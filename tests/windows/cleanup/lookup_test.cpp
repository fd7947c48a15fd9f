// The earlier-install lookup against the real registry.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "registration/earlier_install.h"

namespace {

const char kName[] = "ブレンナビューア for Windows";
const char kPath[] = "C:\\Apps\\Viewer\\ORVIK.exe";

void ClearVendorKey()
{
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Velmar");
}

void SetRaw(const std::string& key, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &handle), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

struct LookupCase {
    const char* title;
    const char* appName;  // null: no value
    std::string appPath;  // empty: no value
    std::vector<const char*> subkeys;
    bool productKey;
    bool expected;
};

}  // namespace

TEST(FindEarlierInstall, DecidesFromNameAndVersionKeys)
{
    const LookupCase cases[] = {
        {"name and 5.0 key", kName, kPath, {"5.0"}, true, true},
        {"first version only", kName, kPath, {"3.0"}, true, true},
        {"last version only", kName, kPath, {"6.0"}, true, true},
        {"no version key", kName, kPath, {}, true, false},
        {"only versions outside the table", kName, kPath, {"2.0", "7.0", "5"}, true, false},
        {"name differing in case", "ブレンナビューア for windows", kPath, {"5.0"}, true, false},
        {"another product", "Orvik", kPath, {"5.0"}, true, false},
        {"no AppName", nullptr, kPath, {"5.0"}, true, false},
        {"no AppPath", kName, "", {"5.0"}, true, false},
        {"AppPath of 260 bytes", kName, "C:\\" + std::string(253, 'a') + ".exe", {"5.0"}, true, false},
        {"AppPath of 259 bytes", kName, "C:\\" + std::string(252, 'a') + ".exe", {"5.0"}, true, true},
        {"no product key", nullptr, "", {}, false, false},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.title);
        ClearVendorKey();
        if (c.productKey)
            SetString(HKEY_LOCAL_MACHINE, kTestProductKey, "Other", "x");
        if (c.appName)
            SetString(HKEY_LOCAL_MACHINE, kTestProductKey, "AppName", c.appName);
        if (!c.appPath.empty())
            SetString(HKEY_LOCAL_MACHINE, kTestProductKey, "AppPath", c.appPath);
        for (const char* subkey : c.subkeys)
            SetString(HKEY_LOCAL_MACHINE, VersionKey(subkey), "Path", "x");

        EarlierInstallInfo info{};
        EXPECT_EQ(FindEarlierInstall(kTestProductKey, &info), c.expected);
        if (c.expected) {
            EXPECT_EQ(std::string(info.AppPath), c.appPath);
        }
    }
}

TEST(FindEarlierInstall, ValuesWithoutTerminatorEndWithTheirData)
{
    ClearVendorKey();
    // Wine's RegQueryValueExA terminates REG_SZ data itself; binary data
    // comes back exactly as stored.
    SetRaw(kTestProductKey, "AppName", REG_BINARY, kName, std::strlen(kName));
    SetRaw(kTestProductKey, "AppPath", REG_BINARY, kPath, std::strlen(kPath));
    SetString(HKEY_LOCAL_MACHINE, VersionKey("4.0"), "Path", "x");
    EarlierInstallInfo info;
    std::memset(&info, 'X', sizeof info);

    EXPECT_TRUE(FindEarlierInstall(kTestProductKey, &info));
    EXPECT_STREQ(info.AppPath, kPath);
}

TEST(ReadRegistryValue, FailsWithoutKeyValueOrRoomAndTerminatesWhatItReads)
{
    ClearVendorKey();
    const std::string key = "Software\\Velmar\\Read";
    SetRaw(key, "exact", REG_SZ, "abc", 4);
    SetRaw(key, "bare", REG_BINARY, "abcd", 4);
    SetRaw(key, "full", REG_BINARY, "abcdefgh", 8);
    char buffer[8];

    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "exact", 4, buffer), S_OK);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "exact", 3, buffer), E_FAIL);
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "bare", 8, buffer), S_OK);
    EXPECT_STREQ(buffer, "abcd");
    // Data that fills the buffer to the last byte is cut to leave room.
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "full", 8, buffer), S_OK);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "missing", 8, buffer), E_FAIL);
    EXPECT_EQ(ReadRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Velmar\\None", "exact", 8, buffer),
              E_FAIL);

    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Velmar\\None"));
}
