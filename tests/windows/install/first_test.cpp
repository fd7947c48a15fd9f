// A first installation on a clean machine, with the association chosen, and
// a reinstallation of 6.0 over it.
#include <windows.h>

#include <gtest/gtest.h>

#include "install/install_product.h"
#include "install_test_support.h"

namespace {

// A blank and 表, whose trail byte is 0x5C, in the destination; its parent
// does not exist yet.
const std::string kDestination = "C:\\Program Files\\Velmar\\ブレンナ表示";

const bool environment = (RegisterInstallEnvironment(), true);

}  // namespace

TEST(FirstInstallation, LogsEverythingItCreatesAndCreatesEverythingItLogs)
{
    ASSERT_FALSE(PathExists("C:\\Program Files\\Velmar"));
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kAppPathKey));
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Velmar"));
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kExtension));

    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), kDestination.c_str(), 1), S_OK);

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(kDestination + "\\INSTALL.LOG", &lines));
    LogExpectation expectation;
    expectation.destination = kDestination;
    EXPECT_EQ(JoinLines(lines), JoinLines(ExpectedLog(expectation)));
    EXPECT_EQ(lines.size(), 9u + 4u + 27u + 1u);
    ExpectInstalled(kDestination, true);
    // The destination's parent was created with it, unlogged.
    EXPECT_TRUE(IsDirectory("C:\\Program Files\\Velmar"));
}

TEST(Reinstallation, RemovesTheOldRegistrationsFirstThenCreatesThemAgain)
{
    OwnerWindow owner;
    if (!KeyExists(HKEY_LOCAL_MACHINE, installed::kVersionKey)) {
        ASSERT_EQ(InstallProduct(owner.get(), kDestination.c_str(), 1), S_OK);
    }

    // Marks on what the removal must take away before the new installation
    // writes it again.
    const std::string stray = StartMenuFolder() + "\\stray.txt";
    WriteWholeFile(stray, "left by the earlier installation");
    SetString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "Marker", "old");
    // An uninstall entry of another installation goes; one that starts
    // this installation's uninstaller stays throughout (see below).
    const std::string command = ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString");
    SetString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString",
              "\"C:\\Other\\setdown.exe\" \"C:\\Other\\INSTALL.LOG\"");
    SetString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "Marker", "old");
    const std::string versionShortcut = DesktopFolder() + "\\" + installed::kMenuFolder + ".lnk";
    MakeShortcut(versionShortcut, kDestination + "\\ORVIK.exe");
    // Values of the keys that the removal leaves alone are overwritten.
    SetString(HKEY_LOCAL_MACHINE, installed::kAppPathKey, "Path", "C:\\elsewhere");

    ASSERT_EQ(InstallProduct(owner.get(), kDestination.c_str(), 1), S_OK);

    EXPECT_FALSE(PathExists(stray));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "Marker"), "<missing>");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "Marker"), "<missing>");
    EXPECT_FALSE(PathExists(versionShortcut));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString"), command);
    SetString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "Marker", "kept");
    ASSERT_EQ(InstallProduct(owner.get(), kDestination.c_str(), 1), S_OK);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "Marker"), "kept");

    // Folder and version key are logged as created, so they were gone when
    // the installation came to them, and the uninstall entry is listed where
    // it always is; App Paths, the product key and the drawing class were
    // kept and are not logged.
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(kDestination + "\\INSTALL.LOG", &lines));
    LogExpectation expectation;
    expectation.destination = kDestination;
    expectation.systemKeysNew = false;
    expectation.classKeysNew = false;
    EXPECT_EQ(JoinLines(lines), JoinLines(ExpectedLog(expectation)));
    ExpectInstalled(kDestination, true);
}
