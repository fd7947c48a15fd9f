// A reinstallation over a changed ORVIK.DAT, stopped in the copy-method
// dialog: the question comes before anything changes, so nothing did.
#include <windows.h>

#include <gtest/gtest.h>

#include "extraction/copy_method_dialog.h"
#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

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
    // A damaged uninstaller would be replaced without a question, later.
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

    // The earlier installation whole: files, log, links, keys and values.
    EXPECT_EQ(JoinLines(Difference(before, TakeSnapshot(), {})), "");
    EXPECT_EQ(ReadWholeFile(data), changed);
}
