// Something stands where the shortcuts go: a file for the Start-menu
// folder, a directory for the desktop shortcut. The removal of earlier
// versions meets it and stops before anything is written: the older
// ORVIK.DAT stays, no file is extracted, no log and no key is written.
#include <windows.h>

#include <gtest/gtest.h>

#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

void ExpectNothingRegistered()
{
    for (const char* key : {installed::kAppPathKey, installed::kProductKey, "Software\\Velmar"})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const std::string& key : ClassKeys())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}

}  // namespace

TEST(ShortcutFailure, ObstacleStopsTheInstallationBeforeAnyChange)
{
    struct Case {
        const char* destination;
        bool folderBlocked;  // else the desktop shortcut is blocked
    } cases[] = {
        {"C:\\Velmar\\ショートカット1", true},
        {"C:\\Velmar\\ショートカット2", false},
    };
    OwnerWindow owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        const std::string destination = c.destination;
        // An older ORVIK.DAT of another size: the dialog asks, and the
        // preselected choice would replace it.
        MakeDirectories(destination);
        WriteWholeFile(destination + "\\ORVIK.DAT", "older data");
        SetLastWrite(destination + "\\ORVIK.DAT", PayloadTime() - 86400ULL * 10000000ULL);
        const std::string obstacle = c.folderBlocked ? StartMenuFolder() : DesktopShortcut();
        if (c.folderBlocked)
            WriteWholeFile(obstacle, "a file, not a folder");
        else
            CreateDirectoryA(obstacle.c_str(), nullptr);

        HRESULT result;
        {
            DialogWatcher watcher([&](HWND dialog, int) { PressButton(dialog, IDOK); });
            result = InstallProduct(owner.get(), c.destination, 1);
            EXPECT_EQ(watcher.Count(), 1);
        }
        EXPECT_LT(result, 0) << std::hex << result;
        for (const char* name : {"ORVIK.exe", "setdown.exe", "INSTALL.LOG"})
            EXPECT_FALSE(PathExists(destination + "\\" + name)) << name;
        EXPECT_EQ(ReadWholeFile(destination + "\\ORVIK.DAT"), "older data");
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
        ExpectNothingRegistered();

        // Out of the way again for the next case.
        if (c.folderBlocked)
            DeleteFileA(obstacle.c_str());
        else
            RemoveDirectoryA(obstacle.c_str());
    }
}
