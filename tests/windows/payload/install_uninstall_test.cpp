// The real installation (InstallProduct with the payload archives linked
// in) undone by the uninstaller through the uninstall entry's command line:
// after a first installation and after a second one over it, whose log
// lists no key that already existed.
#include <windows.h>

#include <gtest/gtest.h>

#include "file_helpers.h"
#include "install/install_product.h"
#include "installed_check.h"
#include "installed_names.h"
#include "payload_test_support.h"
#include "registry_helpers.h"

namespace {

std::string UninstallString()
{
    char text[1024] = "";
    DWORD size = sizeof(text);
    RegGetValueA(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString", RRF_RT_REG_SZ, nullptr, text,
                 &size);
    return text;
}

TEST(InstallUninstall, NothingOfTheProductRemains)
{
    CoInitialize(nullptr);
    const std::string dir = "C:\\Program Files\\ブレンナ表";
    for (int installations : {1, 2}) {
        SCOPED_TRACE(installations);
        for (int i = 0; i < installations; ++i)
            ASSERT_EQ(InstallProduct(nullptr, dir.c_str(), 1), S_OK);
        ExpectInstalled(dir, true);
        std::string command = UninstallString();
        ASSERT_EQ(command, "\"" + dir + "\\setdown.exe\" \"" + dir + "\\INSTALL.LOG\"");

        Process process = StartProgram(command + " /S");
        EXPECT_EQ(WaitAndClose(&process), 0u);
        for (int i = 0; i < 200 && (PathExists(dir) || ProcessRunning("setdown.") || ProcessRunning("~setdown"));
             ++i)
            Sleep(100);
        ExpectNothingInstalled(dir);
        EXPECT_FALSE(PathExists(dir));
        EXPECT_FALSE(ProcessRunning("setdown."));
        EXPECT_FALSE(ProcessRunning("~setdown"));
    }
    CoUninitialize();
}

}  // namespace
