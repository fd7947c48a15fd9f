// The common-controls version check against real libraries: small DLLs of
// this build that report chosen versions, and the system's comctl32.
// Also run in a prefix that reports Windows 98: Wine keeps its comctl32 and
// the manifest's side-by-side version 6 there, so the check passes as on NT.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "window_driver.h"
#include "setup/comctl_version.h"

namespace {

struct VersionCase
{
    const char* library;
    DWORD version;
    bool passes;
};

const VersionCase kCases[] = {
    {"ccver_580.dll", 0x00050050, true},
    {"ccver_600.dll", 0x00060000, true},
    {"ccver_579.dll", 0x0005004F, false},
    {"ccver_472.dll", 0x00040048, false},
    // Major 0x10005 and minor 0x10050 are cut to 5.80.
    {"ccver_wide_580.dll", 0x00050050, true},
    // Major 0x70004, minor 0x10050: 4.80 once cut; shifting the whole major
    // would wrongly give 5.80.
    {"ccver_wide_480.dll", 0x00040050, false},
    {"ccver_fails.dll", 0, false},
    {"ccver_noexport.dll", 0, false},
    {"no_such_library.dll", 0, false},
};

// What the information box showed, if one came up.
struct InfoBox
{
    bool shown = false;
    std::string caption;
    std::vector<std::string> texts;
    bool hasOk = false;
    bool hasCancel = false;
};

// Runs CheckCommonControls(library) while a second thread waits for the
// information box, reads it back and presses OK.
bool RunCheck(const char* library, InfoBox& box)
{
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        HWND found = nullptr;
        WaitUntil([&] {
            found = WaitForTopLevelWindow(
                GetCurrentProcessId(), [](HWND w) { return ClassName(w) == "#32770" && IsWindowVisible(w); }, 0);
            return found != nullptr || done.load();
        });
        if (!found)
            return;
        box.shown = true;
        box.caption = WindowText(found);
        box.texts = ChildTexts(found);
        box.hasOk = GetDlgItem(found, IDOK) != nullptr;
        box.hasCancel = GetDlgItem(found, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(found, IDCANCEL));
        PostMessageA(found, WM_COMMAND, IDOK, 0);
    });
    bool passed = CheckCommonControls(library);
    done = true;
    watcher.join();
    return passed;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    for (const auto& t : texts)
        if (t == text)
            return true;
    return false;
}

} // namespace

TEST(CommonControlsVersion, ReadsThePackedVersionOfEachLibrary)
{
    for (const auto& c : kCases)
        EXPECT_EQ(GetCommonControlsVersion(c.library), c.version) << c.library;
}

TEST(CommonControlsVersion, SystemLibraryPassesAndTheManifestSelectsVersionSix)
{
    // Wine 8's comctl32 reports 5.81 for both of its builds; what the
    // manifest changes is which one is loaded: the side-by-side version 6.
    EXPECT_GE(GetCommonControlsVersion("comctl32.dll"), kRequiredCommonControls);
    EXPECT_TRUE(CheckCommonControls("comctl32.dll"));
    HMODULE loaded = LoadLibraryA("comctl32.dll");
    char path[MAX_PATH] = "";
    GetModuleFileNameA(loaded, path, sizeof path);
    FreeLibrary(loaded);
    EXPECT_NE(std::string(path).find("common-controls_6595b64144ccf1df_6.0."), std::string::npos) << path;
}

TEST(CommonControlsVersion, GateShowsTheInformationBoxBelow580)
{
    const std::string text = "CD のルート ディレクトリにある \"VcRedist.exe\" を実行して、\n"
                             "英語の表示に従って Windows を再起動してから、もう一度試してください。";
    for (const auto& c : kCases) {
        InfoBox box;
        EXPECT_EQ(RunCheck(c.library, box), c.passes) << c.library;
        EXPECT_EQ(box.shown, !c.passes) << c.library;
        if (!box.shown)
            continue;
        EXPECT_EQ(box.caption, "情報") << c.library;
        EXPECT_TRUE(Contains(box.texts, text)) << c.library;
        EXPECT_TRUE(box.hasOk) << c.library;
        EXPECT_FALSE(box.hasCancel) << c.library;
    }
}
