// SHFolder.dll cannot be loaded in this prefix (ORVIK_DLL_OVERRIDES
// shfolder=d), or, in a second run, the system's SHFolder.dll lacks
// SHGetFolderPathA: either way the installation stops before it changes
// anything, even the earlier installation that it would otherwise remove.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

// The second run's library, beside this program, put in the place of the
// system's in this prefix. The prefix shares its system files with others
// by hard links: the name is removed first, never written through.
void ReplaceSystemFolderLibrary()
{
    char self[MAX_PATH] = "", system[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    GetSystemDirectoryA(system, sizeof system);
    std::string stub = self;
    stub = stub.substr(0, stub.rfind('\\')) + "\\SHFolder.dll";
    const std::string target = std::string(system) + "\\SHFolder.dll";
    ASSERT_TRUE(DeleteFileA(target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) << target;
    ASSERT_TRUE(CopyFileA(stub.c_str(), target.c_str(), TRUE)) << stub;
}

}  // namespace

TEST(NoFolderService, FailsWithEFailAndChangesNothing)
{
    if (getenv("ORVIK_SHFOLDER_WITHOUT_FUNCTION") != nullptr) {
        ASSERT_NO_FATAL_FAILURE(ReplaceSystemFolderLibrary());
    }
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    HMODULE folderModule = LoadLibraryA((std::string(system) + "\\SHFolder.dll").c_str());
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
    MakeShortcut(folder + "\\" + installed::kShortcutFile, earlier + "\\ORVIK.exe");
    MakeShortcut(DesktopShortcut(), earlier + "\\ORVIK.exe");
    MakeShortcut(DesktopFolder() + "\\ブレンナビューア for Windows Ver5.0.lnk", earlier + "\\ORVIK.exe");
    SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath", earlier + "\\ORVIK.exe");
    SetString(HKEY_LOCAL_MACHINE, std::string(installed::kProductKey) + "\\5.0", "Path", earlier);
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 5.0", "DisplayName",
              "ブレンナビューア for Windows Ver5.0");

    const Snapshot before = TakeSnapshot();
    OwnerWindow owner;
    EXPECT_EQ(InstallProduct(owner.get(), "C:\\Program Files\\Velmar\\Orvik6", 1), E_FAIL);
    EXPECT_EQ(JoinLines(Difference(before, TakeSnapshot(), {})), "");
    EXPECT_TRUE(PathExists(folder + "\\" + installed::kShortcutFile));
    EXPECT_FALSE(PathExists("C:\\Program Files\\Velmar\\Orvik6"));
}
