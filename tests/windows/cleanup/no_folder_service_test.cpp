// Without SHFolder.dll the first lookup fails and nothing is removed.
#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "registration/remove_earlier.h"

TEST(NoFolderService, RemovalFailsBeforeTouchingAnything)
{
    ASSERT_EQ(LoadLibraryA("SHFolder.dll"), nullptr) << "run with shfolder=d";
    SetString(HKEY_LOCAL_MACHINE, VersionKey("3.0"), "Path", "C:\\Orvik3.0\\ORVIK.exe");

    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey), E_NOTIMPL);

    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, VersionKey("3.0")));
}
