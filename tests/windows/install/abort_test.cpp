// A reinstallation over a changed ORVIK.DAT, stopped in the copy-method
// dialog: the removal of the old registrations has happened, the
// uninstaller and ORVIK.exe have been written, nothing after the stop.
#include <windows.h>

#include <gtest/gtest.h>

#include "archive/copy_method_dialog.h"
#include "install_test_support.h"
#include "setup/install_product.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

// Key names as the registry spells them may differ in case from ours.
bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(),
                                                          static_cast<int>(prefix.size()), prefix.c_str(),
                                                          static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

}  // namespace

TEST(CopyMethodCancelled, StopsWithEAbortAfterTheFilesBeforeIt)
{
    const std::string destination = "C:\\Program Files\\Velmar\\中断";
    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);

    // The user's own ORVIK.DAT, newer than the archived one.
    const std::string data = destination + "\\ORVIK.DAT";
    const std::string changed = "changed by the user\r\n";
    WriteWholeFile(data, changed);
    SetLastWrite(data, PayloadTime() + 86400ULL * 10000000ULL);
    // A damaged uninstaller must be replaced without a question.
    WriteWholeFile(destination + "\\setdown.exe", "damaged");
    const Snapshot before = TakeSnapshot();

    std::string shownPath;
    int dialogs;
    HRESULT result;
    {
        DialogWatcher watcher([&](HWND dialog, int) {
            shownPath = ControlText(dialog, kCopyMemberPath);
            PressButton(dialog, IDCANCEL);
        });
        result = InstallProduct(owner.get(), destination.c_str(), 1);
        dialogs = watcher.Count();
    }
    EXPECT_EQ(result, E_ABORT);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(shownPath, "ORVIK.DAT");

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    EXPECT_EQ(JoinLines(lines), JoinLines({"[Files]", destination + "\\ORVIK.exe"}));
    EXPECT_EQ(ReadWholeFile(data), changed);
    EXPECT_TRUE(SameAsPayload(destination + "\\setdown.exe", "setdown.exe"));
    EXPECT_TRUE(SameAsPayload(destination + "\\ORVIK.exe", "ORVIK.exe"));

    // The only changes: what the removal of version 6.0 took away, the
    // rewritten uninstaller and the new log. No shortcut, key or value was
    // written after the stop.
    const std::string versionKey = std::string("HKEY_LOCAL_MACHINE\\") + kVersionKeyPath;
    const std::string uninstallEntry = std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKeyPath;
    std::vector<std::string> unexpected;
    for (const std::string& change : Difference(before, TakeSnapshot(), {})) {
        const bool removed = StartsWith(change, "- K " + versionKey) || StartsWith(change, "- V " + versionKey) ||
                             StartsWith(change, "- K " + uninstallEntry) ||
                             StartsWith(change, "- V " + uninstallEntry) ||
                             StartsWith(change, "- F " + StartMenuFolder()) || change == "- F " + DesktopShortcut();
        const bool rewritten = change == "~ F " + destination + "\\INSTALL.LOG" ||
                               change == "~ F " + destination + "\\setdown.exe";
        if (!removed && !rewritten)
            unexpected.push_back(change);
    }
    EXPECT_EQ(JoinLines(unexpected), "");
    EXPECT_FALSE(PathExists(StartMenuFolder()));
    EXPECT_FALSE(PathExists(DesktopShortcut()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVersionKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKeyPath));
}
