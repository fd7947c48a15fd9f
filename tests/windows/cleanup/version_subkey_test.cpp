// A version key with a subkey cannot be deleted by the one registry delete
// the removal makes; the system's error ends it there.
#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "registration/remove_earlier.h"

TEST(VersionSubkey, RemovalStopsAtTheVersionKey)
{
    for (const char* version : {"4.0", "5.0", "6.0"})
        InstallVersion(version);
    SetString(HKEY_LOCAL_MACHINE, VersionKey("5.0") + "\\Settings", "Zoom", "100");

    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));

    ExpectVersionGone("4.0");
    EXPECT_FALSE(PathExists(PlainDesktopShortcut()));
    // 5.0: the folder went in the first step; the second failed.
    EXPECT_FALSE(PathExists(ProgramFolder("5.0")));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, VersionKey("5.0") + "\\Settings", "Zoom"), "100");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey("5.0")));
    EXPECT_TRUE(PathExists(VersionDesktopShortcut("5.0")));
    ExpectVersionPresent("6.0");
}
