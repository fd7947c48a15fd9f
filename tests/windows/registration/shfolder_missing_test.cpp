// Run with SHFolder.dll disabled (ORVIK_DLL_OVERRIDES=shfolder=d).
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "ground/folder_paths.h"
#include "registration/shortcuts.h"
#include "registration_test_support.h"

namespace {

TEST(ShfolderMissingTest, NoFunctionAndEveryLookupGivesENotImpl)
{
    ASSERT_EQ(nullptr, LoadLibraryA("SHFolder.dll")) << "the test needs SHFolder.dll disabled";
    EXPECT_EQ(nullptr, LoadFolderPathFunction());
    EXPECT_EQ(nullptr, LoadFolderPathFunction());  // tried again, still missing
    char path[MAX_PATH] = "left over";
    EXPECT_EQ(E_NOTIMPL, GetFolderPath(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path));
    EXPECT_STREQ("", path);
}

TEST(ShfolderMissingTest, ShortcutsStopBeforeCreatingAnything)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    LogFile file;
    EXPECT_EQ(E_NOTIMPL, CreateShortcuts(nullptr, "C:\\Orvik", file.log()));
    EXPECT_EQ("", file.Bytes());
    char programs[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, programs));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((std::string(programs) + "\\ブレンナビューア for Windows Ver6.0").c_str()));
    CoUninitialize();
}

}  // namespace
