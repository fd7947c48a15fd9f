// The shortcut step fails after the extraction: something stands in the
// way of the Start-menu folder or of the desktop shortcut. The obstacle is
// put there while the copy-method dialog is open, that is after the removal
// of earlier versions (which would otherwise take it away or stop on it).
// What was created stays logged, and no registry entry is written.
#include <windows.h>

#include <gtest/gtest.h>

#include "archive/copy_method_dialog.h"
#include "install_test_support.h"
#include "setup/install_product.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

void ExpectNothingRegistered()
{
    for (const char* key : {kAppPathKeyPath, kUninstallKeyPath, kProductKeyPath, "Software\\Velmar"})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const std::string& key : ClassKeys())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}

}  // namespace

TEST(ShortcutFailure, ExtractedFilesStayLoggedAndNothingIsRegistered)
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
        // preselected choice replaces it.
        MakeDirectories(destination);
        WriteWholeFile(destination + "\\ORVIK.DAT", "older data");
        SetLastWrite(destination + "\\ORVIK.DAT", PayloadTime() - 86400ULL * 10000000ULL);

        const std::string obstacle = c.folderBlocked ? StartMenuFolder() : DesktopShortcut();
        HRESULT result;
        {
            DialogWatcher watcher([&](HWND dialog, int) {
                if (c.folderBlocked)
                    WriteWholeFile(obstacle, "a file, not a folder");
                else
                    CreateDirectoryA(obstacle.c_str(), nullptr);
                PressButton(dialog, IDOK);
            });
            result = InstallProduct(owner.get(), c.destination, 1);
            EXPECT_EQ(watcher.Count(), 1);
        }
        EXPECT_LT(result, 0) << std::hex << result;

        std::vector<std::string> expected = {"[Files]", destination + "\\ORVIK.exe", destination + "\\ORVIK.DAT"};
        if (!c.folderBlocked) {
            // The folder and its shortcut came before the desktop shortcut.
            expected.insert(expected.end(), {"[Dirs]", StartMenuFolder(), "[Files]", StartMenuShortcut()});
            EXPECT_TRUE(PathExists(StartMenuShortcut()));
        } else {
            EXPECT_FALSE(PathExists(DesktopShortcut()));
        }
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
        EXPECT_EQ(JoinLines(lines), JoinLines(expected));
        for (const char* name : {"ORVIK.exe", "ORVIK.DAT", "setdown.exe"})
            EXPECT_TRUE(SameAsPayload(destination + "\\" + name, name));
        ExpectNothingRegistered();

        // Out of the way again for the next case.
        if (c.folderBlocked)
            DeleteFileA(obstacle.c_str());
        else
            RemoveDirectoryA(obstacle.c_str());
    }
}
