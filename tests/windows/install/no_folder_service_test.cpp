// SHFolder.dll cannot be loaded in this prefix (ORVIK_DLL_OVERRIDES
// shfolder=d), or, in a second run from another folder, the SHFolder.dll
// found first lacks SHGetFolderPathA: either way the installation stops
// before it changes anything, even the earlier installation that it would
// otherwise remove.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "install_test_support.h"
#include "setup/install_product.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

}  // namespace

TEST(NoFolderService, FailsWithEFailAndChangesNothing)
{
    HMODULE folderModule = LoadLibraryA("SHFolder.dll");
    if (getenv("ORVIK_SHFOLDER_WITHOUT_FUNCTION") != nullptr) {
        ASSERT_NE(folderModule, nullptr);
        ASSERT_EQ(GetProcAddress(folderModule, "SHGetFolderPathA"), nullptr);
    } else {
        ASSERT_EQ(folderModule, nullptr);
    }

    // An earlier 5.0 installation, as that version left it.
    const std::string earlier = "C:\\Program Files\\Velmar\\Orvik5";
    MakeDirectories(earlier);
    WriteWholeFile(earlier + "\\ORVIK.exe", "viewer 5.0");
    const std::string folder = ProgramsFolder() + "\\ブレンナビューア for Windows Ver5.0";
    MakeDirectories(folder);
    MakeShortcut(folder + "\\" + kShortcutFileName, earlier + "\\ORVIK.exe");
    MakeShortcut(DesktopShortcut(), earlier + "\\ORVIK.exe");
    MakeShortcut(DesktopFolder() + "\\ブレンナビューア for Windows Ver5.0.lnk", earlier + "\\ORVIK.exe");
    SetString(HKEY_LOCAL_MACHINE, kProductKeyPath, "AppPath", earlier + "\\ORVIK.exe");
    SetString(HKEY_LOCAL_MACHINE, std::string(kProductKeyPath) + "\\5.0", "Path", earlier);
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 5.0", "DisplayName",
              "ブレンナビューア for Windows Ver5.0");

    const Snapshot before = TakeSnapshot();
    OwnerWindow owner;
    EXPECT_EQ(InstallProduct(owner.get(), "C:\\Program Files\\Velmar\\Orvik6", 1), E_FAIL);
    EXPECT_EQ(JoinLines(Difference(before, TakeSnapshot(), {})), "");
    EXPECT_TRUE(PathExists(folder + "\\" + kShortcutFileName));
    EXPECT_FALSE(PathExists("C:\\Program Files\\Velmar\\Orvik6"));
}
