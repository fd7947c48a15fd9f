// The real installation (InstallProduct with the payload archives linked
// in) undone by the uninstaller through the uninstall entry's command line:
// after a first installation and after a second one over it, whose log
// lists no key that already existed.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "file_helpers.h"
#include "payload_test_support.h"
#include "registration/product_names.h"
#include "registry_helpers.h"
#include "setup/install_product.h"

namespace {


std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

struct Product {
    std::string dir, menu, desktopLink;
};

void ExpectInstalled(const Product& p, bool present)
{
    for (const std::string& path : {p.dir + "\\ORVIK.exe", p.dir + "\\ORVIK.DAT", p.dir + "\\setdown.exe",
                                    p.dir + "\\INSTALL.LOG", p.menu, p.desktopLink})
        EXPECT_EQ(PathExists(path), present) << path;
    struct {
        HKEY root;
        const char* path;
    } keys[] = {{HKEY_LOCAL_MACHINE, kAppPathKeyPath},   {HKEY_LOCAL_MACHINE, kUninstallKeyPath},
                {HKEY_LOCAL_MACHINE, kVendorKeyPath},    {HKEY_CLASSES_ROOT, kDrawingExtension},
                {HKEY_CLASSES_ROOT, kDrawingClassKeyPath}, {HKEY_CLASSES_ROOT, kDrawingProgId},
                {HKEY_CLASSES_ROOT, kDrawingVersionProgId}};
    for (const auto& key : keys)
        EXPECT_EQ(KeyExists(key.root, key.path), present) << key.path;
}

std::string UninstallString()
{
    char text[1024] = "";
    DWORD size = sizeof(text);
    RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, "UninstallString", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

TEST(InstallUninstall, NothingOfTheProductRemains)
{
    CoInitialize(nullptr);
    Product p;
    p.dir = "C:\\Program Files\\ブレンナ表";
    // Per-user folders on the 9x family, all-users ones on NT.
    const bool nine = (GetVersion() & 0x80000000u) != 0;
    const std::string folder = "\\ブレンナビューア for Windows Ver6.0", link = "\\ブレンナビューア for Windows.lnk";
    p.menu = Folder(nine ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS) + folder;
    p.desktopLink = Folder(nine ? CSIDL_DESKTOPDIRECTORY : CSIDL_COMMON_DESKTOPDIRECTORY) + link;
    const std::string otherMenu = Folder(nine ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + folder;
    const std::string otherLink = Folder(nine ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY) + link;

    for (int installations : {1, 2}) {
        SCOPED_TRACE(installations);
        for (int i = 0; i < installations; ++i)
            ASSERT_EQ(InstallProduct(nullptr, p.dir.c_str(), 1), S_OK);
        ExpectInstalled(p, true);
        EXPECT_FALSE(PathExists(otherMenu));
        EXPECT_FALSE(PathExists(otherLink));
        std::string command = UninstallString();
        ASSERT_EQ(command, "\"" + p.dir + "\\setdown.exe\" \"" + p.dir + "\\INSTALL.LOG\"");

        Process process = StartProgram(command + " /S");
        EXPECT_EQ(WaitAndClose(&process), 0u);
        for (int i = 0; i < 200 && (PathExists(p.dir) || ProcessRunning("setdown.") || ProcessRunning("~setdown"));
             ++i)
            Sleep(100);
        ExpectInstalled(p, false);
        EXPECT_FALSE(PathExists(p.dir));
        EXPECT_FALSE(ProcessRunning("setdown."));
        EXPECT_FALSE(ProcessRunning("~setdown"));
    }
    CoUninitialize();
}

}  // namespace
