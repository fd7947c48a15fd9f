// The destination page's logic against the real registry, file system and
// folder browser of the prefix.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ground/result.h"
#include "installed_names.h"
#include "wizard/destination_choice.h"
#include "wizard/resource_ids.h"

namespace {

// The program browses in the apartment that start-up entered.
class ComEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const g_com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

const char kDefault[] = "C:\\Program Files\\Velmar\\Orvik\\";

void SetString(HKEY root, const std::string& key, const char* name, const std::string& value)
{
    HKEY opened;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(opened);
}

void WriteFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

class EarlierInstall : public ::testing::Test
{
protected:
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, installed::kProductKey); }
};

class DrawingServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        CreateDirectoryA("C:\\Other", nullptr);
        CreateDirectoryA("C:\\Other Programs", nullptr);
        WriteFile("C:\\Other\\DRAWTOOL.EXE");
        WriteFile("C:\\Other\\orvik.EXE");
        WriteFile("C:\\Other Programs\\Drawing Tool.exe");
        WriteFile("C:\\Other Programs\\ORVIK.exe");
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, installed::kClassKey); }
};

std::string ShortPath(const char* path)
{
    char buffer[MAX_PATH] = "";
    GetShortPathNameA(path, buffer, sizeof buffer);
    return buffer;
}

}  // namespace

TEST(DefaultOnWindowsDrive, OnlyADriveLetterPathGivesAProposal)
{
    const struct
    {
        const char* windows;
        HRESULT result;
        const char* proposal;
    } cases[] = {
        {"C:\\WINDOWS", S_OK, kDefault},
        {"D:\\WINNT", S_OK, "D:\\Program Files\\Velmar\\Orvik\\"},
        {"C:\\", S_OK, kDefault},
        {"\\\\server\\share\\windows", E_FAIL, nullptr},
        {"", E_FAIL, nullptr},
        {"C:WINDOWS", E_FAIL, nullptr},
        {"C:/WINDOWS", E_FAIL, nullptr},
        {"C", E_FAIL, nullptr},
        // A double-byte first character, although ":\" follows its lead byte.
        {"\x95:\\WINDOWS", E_FAIL, nullptr},
    };
    for (const auto& c : cases) {
        char buffer[MAX_PATH];
        lstrcpyA(buffer, c.windows);
        EXPECT_EQ(DefaultOnWindowsDrive(buffer), c.result) << c.windows;
        if (c.proposal) {
            EXPECT_STREQ(buffer, c.proposal) << c.windows;
        }
    }
}

TEST_F(EarlierInstall, ProposesTheEarlierProgramsDirectory)
{
    const struct
    {
        const char* name;
        const char* appPath;
        const char* version;  // the version key to create, or null
        const char* proposal;
    } cases[] = {
        {installed::kProductName, "D:\\Tools\\Orvik\\ORVIK.exe", "5.0", "D:\\Tools\\Orvik"},
        {installed::kProductName, "C:\\Apps\\Viewer\\ORVIK.exe", "3.0", "C:\\Apps\\Viewer"},
        {installed::kProductName, "C:\\ORVIK.exe", "6.0", "C:\\"},
        // 表 ends in the byte of "\": the cut is before ORVIK.exe, not inside.
        {installed::kProductName, "C:\\表\\ORVIK.exe", "4.0", "C:\\表"},
        // Not an installation of this product: the Windows drive's default.
        {installed::kProductName, "D:\\Tools\\Orvik\\ORVIK.exe", nullptr, kDefault},
        {installed::kProductName, "D:\\Tools\\Orvik\\ORVIK.exe", "7.0", kDefault},
        {"ブレンナビューア for windows", "D:\\Tools\\Orvik\\ORVIK.exe", "5.0", kDefault},
        {"Another product", "D:\\Tools\\Orvik\\ORVIK.exe", "5.0", kDefault},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.appPath);
        SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppName", c.name);
        SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath", c.appPath);
        if (c.version)
            SetString(HKEY_LOCAL_MACHINE, std::string(installed::kProductKey) + "\\" + c.version, "Path", "x");
        char buffer[MAX_PATH] = "untouched";
        EXPECT_EQ(ChooseDefaultDestination(buffer), S_OK);
        EXPECT_STREQ(buffer, c.proposal);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, installed::kProductKey);
    }
}

TEST_F(EarlierInstall, NoProductKeyGivesTheWindowsDrivesDefault)
{
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 3u);
    char buffer[MAX_PATH];
    EXPECT_EQ(ChooseDefaultDestination(buffer), S_OK);
    EXPECT_EQ(std::string(buffer), std::string(windows, 3) + "Program Files\\Velmar\\Orvik\\");
}

TEST_F(DrawingServer, ForeignOnlyForAnExistingProgramOfAnotherName)
{
    const struct
    {
        std::string server;  // empty: the class is not registered
        bool foreign;
    } cases[] = {
        {"", false},
        {"C:\\Other\\DRAWTOOL.EXE", true},
        {"c:\\other\\drawtool.exe", true},
        {ShortPath("C:\\Other Programs\\Drawing Tool.exe"), true},
        {"C:\\Other\\MISSING.EXE", false},
        {"C:\\Missing\\DRAWTOOL.EXE", false},
        {"C:\\Other\\orvik.EXE", false},
        // The viewer's own registration: a short path whose long name is ORVIK.exe.
        {ShortPath("C:\\Other Programs\\ORVIK.exe"), false},
        // Quotes or arguments name no file.
        {"\"C:\\Other\\DRAWTOOL.EXE\"", false},
        {"C:\\Other\\DRAWTOOL.EXE /Automation", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, installed::kClassKey);
        if (!c.server.empty())
            SetString(HKEY_CLASSES_ROOT, installed::kServerKey, "", c.server);
        EXPECT_EQ(IsForeignDrawingServer(), c.foreign);
    }
}

TEST_F(DrawingServer, AskedAnewAtEveryUse)
{
    SetString(HKEY_CLASSES_ROOT, installed::kServerKey, "", "C:\\Other\\DRAWTOOL.EXE");
    EXPECT_TRUE(IsForeignDrawingServer());
    ASSERT_TRUE(DeleteFileA("C:\\Other\\DRAWTOOL.EXE"));
    EXPECT_FALSE(IsForeignDrawingServer());
    WriteFile("C:\\Other\\DRAWTOOL.EXE");
    EXPECT_TRUE(IsForeignDrawingServer());
}

namespace {

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// A stand-in for the destination page: a window with the edit 1000.
class BrowseHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        page = CreateWindowExA(0, "STATIC", "page", WS_POPUP | WS_VISIBLE, 10, 10, 400, 200, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(page, nullptr);
        edit = CreateWindowExA(0, "EDIT", "C:\\Typed", WS_CHILD | WS_VISIBLE, 5, 5, 300, 20, page,
                               reinterpret_cast<HMENU>(IDC_DESTINATION), nullptr, nullptr);
        ASSERT_NE(edit, nullptr);
    }
    void TearDown() override { DestroyWindow(page); }

    std::string EditText()
    {
        char text[MAX_PATH] = "";
        GetWindowTextA(edit, text, sizeof text);
        return text;
    }

    // Runs BrowseForDestination here while act answers the browser from a
    // second thread; act gets the browser window and its tree.
    void Browse(void (*act)(HWND browser, HWND tree))
    {
        DWORD thread = GetCurrentThreadId();
        HWND owner = page;
        std::thread driver([=] {
            HWND browser = nullptr;
            for (int i = 0; i < 500 && !browser; ++i) {
                Sleep(20);
                EnumThreadWindows(thread, &FindDialog, reinterpret_cast<LPARAM>(&browser));
            }
            if (!browser)
                return;
            Sleep(300);
            EXPECT_EQ(GetWindow(browser, GW_OWNER), owner);
            act(browser, FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr));
        });
        BrowseForDestination(page);
        driver.join();
    }

    HWND page = nullptr;
    HWND edit = nullptr;
};

// The tree item whose text is text among the children of parent (expanded).
HTREEITEM Child(HWND tree, HTREEITEM parent, const char* text)
{
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item; item = TreeView_GetNextSibling(tree, item)) {
        char name[MAX_PATH] = "";
        TVITEMA data = {};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = name;
        data.cchTextMax = sizeof name;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        if (std::string(name).find(text) != std::string::npos)
            return item;
    }
    return nullptr;
}

}  // namespace

TEST_F(BrowseHost, CancelLeavesTheText)
{
    Browse([](HWND browser, HWND) { PostMessageA(browser, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(EditText(), "C:\\Typed");
}

TEST_F(BrowseHost, AChosenFolderReplacesTheTextAsItIs)
{
    char desktop[MAX_PATH] = "";
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop), S_OK);
    // The browser starts at the desktop, which is a file-system folder.
    Browse([](HWND browser, HWND tree) {
        ASSERT_NE(tree, nullptr);
        TreeView_SelectItem(tree, TreeView_GetRoot(tree));
        PostMessageA(browser, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(EditText(), desktop);
}

TEST_F(BrowseHost, AVirtualFolderLeavesTheText)
{
    // My Computer has no file-system path.
    Browse([](HWND browser, HWND tree) {
        ASSERT_NE(tree, nullptr);
        LPITEMIDLIST drives = nullptr;
        ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives), S_OK);
        SHFILEINFOA info = {};
        SHGetFileInfoA(reinterpret_cast<LPCSTR>(drives), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
        CoTaskMemFree(drives);
        HTREEITEM item = Child(tree, TreeView_GetRoot(tree), info.szDisplayName);
        EXPECT_NE(item, nullptr) << info.szDisplayName;
        if (item)
            TreeView_SelectItem(tree, item);
        PostMessageA(browser, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(EditText(), "C:\\Typed");
}
