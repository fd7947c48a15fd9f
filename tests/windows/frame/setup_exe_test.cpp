// setup.exe as built: the resources it carries, read back from the file, and
// a run under Wine driven from this process.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "window_driver.h"
#include "test_module.h"
#include "wizard/resource_ids.h"
#include "wizard/setup_wizard.h"
#include "wizard/wizard_sheet.h"
#include "wizard_texts.h"

// As in the sheet: MinGW's prsht.h names the header bitmap through this.
#ifndef DUMMYUNION5_MEMBER
#define DUMMYUNION5_MEMBER(member) member
#endif

static ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

namespace {

std::string SetupPath()
{
    std::string path = "T:\\" SETUP_EXE_RELATIVE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class SetupResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(SetupPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << SetupPath() << " error " << GetLastError();
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }
    std::string Resource(LPCSTR type, int id)
    {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
        if (!found)
            return {};
        HGLOBAL loaded = LoadResource(module, found);
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        return std::string(bytes, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

// The element of the manifest that starts with opening and ends with "/>".
std::string Element(const std::string& text, const std::string& opening)
{
    size_t start = text.find(opening);
    if (start == std::string::npos)
        return {};
    size_t end = text.find("/>", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

} // namespace

TEST_F(SetupResources, ManifestAsksForCommonControlsSixAndAdministrator)
{
    std::string manifest = Resource(MAKEINTRESOURCEA(24), 1);
    ASSERT_FALSE(manifest.empty());
    size_t dependency = manifest.find("<dependentAssembly>");
    ASSERT_NE(dependency, std::string::npos);
    std::string identity = Element(manifest.substr(dependency), "<assemblyIdentity");
    for (const char* attribute :
         {"type=\"win32\"", "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
          "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"", "processorArchitecture=\"*\""})
        EXPECT_NE(identity.find(attribute), std::string::npos) << attribute;
    std::string level = Element(manifest, "<requestedExecutionLevel");
    EXPECT_NE(level.find("level=\"requireAdministrator\""), std::string::npos);
}

// The wizard bitmaps the sheet takes at each display scale, and that they
// are there in setup.exe at the size drawn for it, in 16 colours: the
// 100 % pair below 120 dpi, else the largest drawing not above the
// display's scale.
TEST_F(SetupResources, WizardBitmapsForEachDisplayScale)
{
    struct Scale
    {
        int dpi;
        int watermark, watermarkWidth, watermarkHeight;
        int header, headerSize;
    } scales[] = {
        {96, IDB_WATERMARK, 164, 314, IDB_HEADER, 49},
        {119, IDB_WATERMARK, 164, 314, IDB_HEADER, 49},
        {120, IDB_WATERMARK_125, 205, 393, IDB_HEADER_125, 61},
        {144, IDB_WATERMARK_150, 246, 483, IDB_HEADER_150, 74},
        {168, IDB_WATERMARK_150, 246, 483, IDB_HEADER_150, 74},
        {192, IDB_WATERMARK_200, 328, 628, IDB_HEADER_200, 98},
    };
    for (const Scale& s : scales) {
        SCOPED_TRACE(s.dpi);
        const WizardBitmaps& chosen = WizardBitmapsForDpi(s.dpi);
        EXPECT_EQ(chosen.watermark, s.watermark);
        EXPECT_EQ(chosen.header, s.header);
        const struct
        {
            int id, width, height;
        } bitmaps[] = {{s.watermark, s.watermarkWidth, s.watermarkHeight}, {s.header, s.headerSize, s.headerSize}};
        for (const auto& b : bitmaps) {
            std::string data = Resource(RT_BITMAP, b.id);
            ASSERT_GE(data.size(), sizeof(BITMAPINFOHEADER)) << b.id;
            BITMAPINFOHEADER header;
            memcpy(&header, data.data(), sizeof header);
            EXPECT_EQ(header.biWidth, b.width) << b.id;
            EXPECT_EQ(header.biHeight, b.height) << b.id;
            EXPECT_EQ(header.biBitCount, 4) << b.id;  // 16 colours
        }
    }
    // On the tests' 96-dpi display the sheet is the wizard it always was.
    WizardSheet sheet;
    EXPECT_EQ(sheet.Header().dwFlags, 0x01088100u);
    EXPECT_EQ(sheet.Header().pszbmWatermark, MAKEINTRESOURCEA(IDB_WATERMARK));
    EXPECT_EQ(sheet.Header().pszbmHeader, MAKEINTRESOURCEA(IDB_HEADER));
    EXPECT_FALSE(Resource(RT_GROUP_ICON, IDI_SETUP).empty());
}

TEST_F(SetupResources, DialogsCarryTheirTextsInCodePage932)
{
    struct Dialog
    {
        int id;
        int width, height;  // dialog units
        std::vector<std::string> texts;
    };
    std::vector<Dialog> dialogs;
    for (const wizard_texts::Page& page : wizard_texts::kPages)
        dialogs.push_back({page.dialog, 317, page.headerTitle ? 143 : 193,
                           std::vector<std::string>(page.templateTexts.begin(), page.templateTexts.end())});
    dialogs.push_back(
        {211, 324, 174,
         {"OK", "キャンセル",
          "インストール先ディレクトリにサイズ、又は日付の異なる同名のファイルが存在します。\n\nコピーの方法を指定して下さい。",
          "ファイル:", "コピー先", "コピー元", "サイズ:", "更新日時:", "コピーしない",
          "コピー先の日付が新しい場合はコピーしない", "上書きでコピーする", "全てこの方法でコピーする"}});
    // Pages are child dialogs: give them a hidden parent.
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (const auto& d : dialogs) {
        HWND dialog = CreateDialogParamA(module, MAKEINTRESOURCEA(d.id), parent, &PassiveDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << d.id;
        std::vector<std::string> texts = ChildTexts(dialog);
        for (const auto& text : d.texts)
            EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << d.id << ": " << text;
        RECT units = {0, 0, d.width, d.height};
        MapDialogRect(dialog, &units);
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, units.right) << d.id;
        EXPECT_EQ(client.bottom, units.bottom) << d.id;
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, d.id == 211 ? "ＭＳ ゴシック" : "ＭＳ Ｐゴシック") << d.id;
        if (d.id == 211) {
            EXPECT_EQ(WindowText(dialog), wizard_texts::kCopyMethodTitle);
        }
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
}

namespace {

// Cancel, confirm with Yes, then Finish on the closing page.
void CancelAndFinish(DWORD pid, HWND sheet)
{
    PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(sheet, IDCANCEL)));
    HWND box = WaitForOwnedDialog(pid, sheet);
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(WaitUntil([&] { return CurrentPageIndex(sheet) == 5; }));
    Sleep(200);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
}

HWND WaitForSheet(DWORD pid)
{
    return WaitForTopLevelWindow(
        pid, [](HWND w) { return IsWindowVisible(w) && WindowText(w) == wizard_texts::kTitle; }, 30000);
}

} // namespace

TEST(SetupRun, ShowsTheWelcomePageAndExitsWithThePropertySheetResult)
{
    // The same ending in this process gives the property sheet's result.
    INT_PTR expected = -2;
    {
        SetupWizard wizard;
        std::thread driver([] {
            HWND sheet = WaitForSheet(GetCurrentProcessId());
            ASSERT_NE(sheet, nullptr);
            CancelAndFinish(GetCurrentProcessId(), sheet);
        });
        expected = wizard.RunModal(nullptr);
        driver.join();
    }

    // Arguments are ignored.
    std::string command = "\"" + SetupPath() + "\" /s /uninstall";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << GetLastError();
    HWND sheet = WaitForSheet(process.dwProcessId);
    if (!sheet)
        TerminateProcess(process.hProcess, 99);
    ASSERT_NE(sheet, nullptr);

    // The six pages in order, the welcome page first.
    ASSERT_TRUE(WaitUntil([&] { return CurrentPageIndex(sheet) == 0; }));
    const int order[] = {IDD_WELCOME, IDD_DESTINATION, IDD_ASSOCIATION, IDD_READY, IDD_FINISHED, IDD_ABORTED};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(SendMessageA(sheet, PSM_INDEXTOID, i, 0), order[i]) << i;
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, kNextButton)));

    Sleep(1000);
    EXPECT_TRUE(SaveWindowShot(sheet, ScreenPath("frame_welcome").c_str()));

    CancelAndFinish(process.dwProcessId, sheet);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(static_cast<INT_PTR>(exitCode), expected);
    EXPECT_EQ(exitCode, 1u);
}
