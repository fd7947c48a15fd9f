// A file in an earlier program folder that cannot be deleted stops the
// removal with its error; later versions keep everything.
#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "registration/remove_earlier.h"

TEST(FileInUse, RemovalStopsAtTheFileAndLaterVersionsKeepEverything)
{
    for (const char* version : {"3.0", "4.0", "5.0", "6.0"})
        InstallVersion(version);
    const std::string held = ProgramFolder("4.0") + "\\表示ツール\\open.txt";
    MakeFile(held);
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey),
              HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));

    // 3.0 went completely, with the unversioned desktop shortcut.
    ExpectVersionGone("3.0");
    EXPECT_FALSE(PathExists(PlainDesktopShortcut()));
    // 4.0 stopped in its first step: the file, its folder and everything
    // after the folder remain.
    EXPECT_TRUE(PathExists(held));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, VersionKey("4.0")));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey("4.0")));
    EXPECT_TRUE(PathExists(VersionDesktopShortcut("4.0")));
    ExpectVersionPresent("5.0");
    ExpectVersionPresent("6.0");

    // Once the file is free, a second run finishes the job.
    CloseHandle(file);
    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey), S_OK);
    for (const char* version : {"4.0", "5.0", "6.0"})
        ExpectVersionGone(version);
}
