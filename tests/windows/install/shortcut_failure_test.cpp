// A file stands where the Start-menu folder belongs: the shortcut step
// fails after the extraction, and no registry entry is written.
#include <windows.h>

#include <gtest/gtest.h>

#include "install_test_support.h"
#include "setup/install_product.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

}  // namespace

TEST(ShortcutFailure, ExtractedFilesStayLoggedAndNothingIsRegistered)
{
    WriteWholeFile(StartMenuFolder(), "a file, not a folder");
    const std::string destination = "C:\\Velmar\\ショートカット";

    OwnerWindow owner;
    const HRESULT result = InstallProduct(owner.get(), destination.c_str(), 1);
    EXPECT_LT(result, 0);

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    EXPECT_EQ(JoinLines(lines), JoinLines({"[Files]", destination + "\\ORVIK.exe", destination + "\\ORVIK.DAT"}));
    EXPECT_EQ(ReadWholeFile(destination + "\\ORVIK.exe"), PayloadFile("ORVIK.exe"));
    EXPECT_EQ(ReadWholeFile(destination + "\\ORVIK.DAT"), PayloadFile("ORVIK.DAT"));
    EXPECT_EQ(ReadWholeFile(destination + "\\setdown.exe"), PayloadFile("setdown.exe"));

    EXPECT_FALSE(IsDirectory(StartMenuFolder()));
    EXPECT_FALSE(PathExists(DesktopShortcut()));
    for (const char* key : {kAppPathsKey, kUninstallEntry, kProductKey, "Software\\Velmar"})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const std::string& key : ClassKeys())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}
