// The copy-method dialog under Wine and Xvfb, answered from a second thread
// the way a user would: read what it shows, pick a mode, tick the box, press
// OK, Cancel or Esc, or close it from the caption.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "crafted_archive.h"
#include "extraction/copy_method_dialog.h"
#include "extraction/extract.h"
#include "ground/result.h"
#include "installlog/install_log.h"
#include "screen_capture.h"
#include "test_support.h"
#include "window/app_module.h"

namespace {

constexpr int kBasicArchive = 101;
const uint64_t kMemberTime = FileTimeFromUnix(kMemberUnixTime);

class ModuleEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(g_appModule.Init(GetModuleHandleA(nullptr)), S_OK); }
    void TearDown() override { g_appModule.Term(); }
};
testing::Environment* const moduleEnvironment = testing::AddGlobalTestEnvironment(new ModuleEnvironment);

// What a dialog showed, read back from the watcher thread.
struct Seen {
    std::string title, path, destSize, destTime, sourceSize, sourceTime;
    bool radio[3] = {};
    bool all = false;
    RECT rect = {};
};

Seen ReadDialog(HWND dialog)
{
    Seen seen;
    char title[256] = {};
    GetWindowTextA(dialog, title, sizeof title);
    seen.title = title;
    seen.path = ControlText(dialog, kCopyMemberPath);
    seen.destSize = ControlText(dialog, kCopyExistingSize);
    seen.destTime = ControlText(dialog, kCopyExistingTime);
    seen.sourceSize = ControlText(dialog, kCopyMemberSize);
    seen.sourceTime = ControlText(dialog, kCopyMemberTime);
    const int radios[3] = {kCopySkip, kCopyUnlessNewer, kCopyReplace};
    for (int i = 0; i < 3; ++i)
        seen.radio[i] = IsDlgButtonChecked(dialog, radios[i]) == BST_CHECKED;
    seen.all = IsDlgButtonChecked(dialog, kCopyForAll) == BST_CHECKED;
    GetWindowRect(dialog, &seen.rect);
    return seen;
}

// The user's short date and time without seconds, as the system formats them.
std::string SystemFormatted(uint64_t time)
{
    const FILETIME utc = ToFileTime(time);
    FILETIME local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &st);
    char date[64] = {}, clock[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

WIN32_FIND_DATAA FindData(uint64_t lastWrite, DWORD size)
{
    WIN32_FIND_DATAA data = {};
    data.ftLastWriteTime = ToFileTime(lastWrite);
    data.nFileSizeLow = size;
    return data;
}

int RadioOf(CopyMode mode)
{
    switch (mode) {
    case CopyMode::Skip:
        return kCopySkip;
    case CopyMode::ReplaceUnlessNewer:
        return kCopyUnlessNewer;
    default:
        return kCopyReplace;
    }
}

// A member time with seconds, and an existing file a day and a bit later.
const uint64_t kSourceTime = FileTimeFromUnix(1700000000 + 37);
const uint64_t kDestTime = FileTimeFromUnix(1700000000 + 86400 + 3600 * 5 + 59);
const char kMemberPath[] = "表示\\ソフト.kdw";  // trail bytes 0x5C in both names

}  // namespace

TEST(AskCopyMethod, ShowsBothFilesAndThePreselectedChoice)
{
    OwnerWindow owner(120, 90, 700, 500);
    struct Case {
        CopyMode mode;
        bool doNotAsk;
    } cases[] = {
        {CopyMode::Skip, false},
        {CopyMode::ReplaceUnlessNewer, false},
        {CopyMode::Replace, true},
        {static_cast<CopyMode>(7), false},  // no radio button for it
    };
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        const WIN32_FIND_DATAA member = FindData(kSourceTime, 1234);
        const WIN32_FIND_DATAA existing = FindData(kDestTime, 56789);
        Seen seen;
        bool screenshot = false;
        CopyMode mode = c.mode;
        bool doNotAsk = c.doNotAsk;
        INT_PTR answer;
        {
            DialogWatcher watcher([&](HWND dialog, int) {
                seen = ReadDialog(dialog);
                if (first) {
                    Sleep(500);  // let it paint
                    RECT area;
                    screenshot = GetWindowRect(dialog, &area) &&
                                 SaveScreenArea(area, (ScreensFolder() + "\\copy_method_dialog.png").c_str());
                }
                PressButton(dialog, IDOK);
            });
            answer = AskCopyMethod(owner.get(), kMemberPath, &member, &existing, &mode, &doNotAsk);
        }
        if (first) {
            EXPECT_TRUE(screenshot);
        }
        first = false;

        EXPECT_EQ(answer, IDOK);
        EXPECT_EQ(seen.title, "コピー方法の確認");
        EXPECT_EQ(seen.path, kMemberPath);
        EXPECT_EQ(seen.destSize, "56789 バイト");
        EXPECT_EQ(seen.sourceSize, "1234 バイト");
        EXPECT_EQ(seen.destTime, SystemFormatted(kDestTime));
        EXPECT_EQ(seen.sourceTime, SystemFormatted(kSourceTime));
        EXPECT_NE(seen.destTime, seen.sourceTime);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(seen.radio[i], static_cast<int>(c.mode) == i) << i;
        EXPECT_EQ(seen.all, c.doNotAsk);
        // OK without changes hands the same choice back.
        EXPECT_EQ(mode, c.mode);
        EXPECT_EQ(doNotAsk, c.doNotAsk);
    }
}

TEST(AskCopyMethod, CentresOnItsOwnerOrOnTheWorkArea)
{
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible);
        OwnerWindow owner(40, 60, 620, 480, visible);
        RECT ownerRect;
        GetWindowRect(owner.get(), &ownerRect);
        const RECT& centre = visible ? ownerRect : work;
        const WIN32_FIND_DATAA member = FindData(kSourceTime, 1), existing = FindData(kDestTime, 2);
        CopyMode mode = CopyMode::Skip;
        bool doNotAsk = false;
        Seen seen;
        {
            DialogWatcher watcher([&](HWND dialog, int) {
                seen = ReadDialog(dialog);
                PressButton(dialog, IDCANCEL);
            });
            EXPECT_EQ(AskCopyMethod(owner.get(), "a.txt", &member, &existing, &mode, &doNotAsk), IDCANCEL);
        }
        const int width = seen.rect.right - seen.rect.left, height = seen.rect.bottom - seen.rect.top;
        EXPECT_GT(width, 0);
        EXPECT_NEAR(seen.rect.left, (centre.left + centre.right) / 2 - width / 2, 1);
        EXPECT_NEAR(seen.rect.top, (centre.top + centre.bottom) / 2 - height / 2, 1);
    }
}

// Picking a radio button and the check box, then OK, hands the choice back.
TEST(AskCopyMethod, OkStoresTheChosenModeAndTheCheckBox)
{
    OwnerWindow owner(100, 100, 600, 400);
    struct Case {
        CopyMode start;
        CopyMode chosen;
        bool tick;
    } cases[] = {
        {CopyMode::ReplaceUnlessNewer, CopyMode::Skip, false},
        {CopyMode::Skip, CopyMode::ReplaceUnlessNewer, true},
        {CopyMode::ReplaceUnlessNewer, CopyMode::Replace, true},
        {CopyMode::Replace, CopyMode::Skip, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.chosen) << " tick " << c.tick);
        const WIN32_FIND_DATAA member = FindData(kSourceTime, 10), existing = FindData(kDestTime, 20);
        CopyMode mode = c.start;
        bool doNotAsk = false;
        Seen after;
        INT_PTR answer;
        {
            DialogWatcher watcher([&](HWND dialog, int) {
                ClickControl(dialog, RadioOf(c.chosen));
                if (c.tick)
                    ClickControl(dialog, kCopyForAll);
                after = ReadDialog(dialog);
                PressButton(dialog, IDOK);
            });
            answer = AskCopyMethod(owner.get(), "README", &member, &existing, &mode, &doNotAsk);
        }
        // The clicks behaved like a user's: one radio button of the group.
        EXPECT_EQ(std::count(after.radio, after.radio + 3, true), 1);
        EXPECT_EQ(answer, IDOK);
        EXPECT_EQ(mode, c.chosen);
        EXPECT_EQ(doNotAsk, c.tick);
    }
}

// Cancel, Esc and the caption's Close all answer IDCANCEL and change nothing,
// whatever was clicked before.
TEST(AskCopyMethod, CancelEscAndCloseChangeNothing)
{
    OwnerWindow owner(100, 100, 600, 400);
    struct Case {
        const char* name;
        void (*cancel)(HWND);
    } cases[] = {
        {"cancel button", [](HWND d) { PressButton(d, IDCANCEL); }},
        {"escape key", [](HWND d) { PostMessageA(d, WM_KEYDOWN, VK_ESCAPE, 0x00010001); }},
        {"caption close", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WIN32_FIND_DATAA member = FindData(kSourceTime, 10), existing = FindData(kDestTime, 20);
        CopyMode mode = CopyMode::ReplaceUnlessNewer;
        bool doNotAsk = false;
        INT_PTR answer;
        {
            DialogWatcher watcher([&](HWND dialog, int) {
                ClickControl(dialog, kCopyReplace);
                ClickControl(dialog, kCopyForAll);
                c.cancel(dialog);
            });
            answer = AskCopyMethod(owner.get(), "README", &member, &existing, &mode, &doNotAsk);
            EXPECT_EQ(watcher.Count(), 1);
        }
        EXPECT_EQ(answer, IDCANCEL);
        EXPECT_EQ(mode, CopyMode::ReplaceUnlessNewer);
        EXPECT_FALSE(doNotAsk);
    }
}

// The extractor asks about each differing member until the box is ticked.
class ExtractWithQuestions : public testing::Test {
protected:
    // Existing files that differ from four members of archive 101.
    void SetUp() override
    {
        dir_ = FreshDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryA((dir_ + "\\docs").c_str(), nullptr);
        for (const char* name : {"docs\\guide.txt", "README", "data.kdw"}) {
            WriteWholeFile(Path(name), std::string("existing ") + name);
            SetLastWriteTime(Path(name), kMemberTime - 3600 * 10000000ULL);
        }
    }
    std::string Path(const std::string& member) const { return dir_ + "\\" + member; }
    bool Written(const std::string& member) const { return ReadWholeFile(Path(member)) == ReadInput("basic\\" + member); }

    std::string dir_;
    OwnerWindow owner_{150, 120, 640, 480};
};

TEST_F(ExtractWithQuestions, ReplaceForAllAsksOnceAndWritesTheRest)
{
    TestLog log(dir_);
    ExtractContext context = {owner_.get(), CopyMode::ReplaceUnlessNewer, false, log.log()};
    std::vector<Seen> seen;
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    HRESULT result;
    int asked;
    {
        DialogWatcher watcher([&](HWND dialog, int) {
            seen.push_back(ReadDialog(dialog));
            ClickControl(dialog, kCopyReplace);
            ClickControl(dialog, kCopyForAll);
            PressButton(dialog, IDOK);
        });
        result = PlanAndExtractResource(&context, kBasicArchive, dir_);
        asked = watcher.Count();
    }
    // The installation goes on with the wait cursor once the question is answered.
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
    EXPECT_EQ(result, S_OK);
    ASSERT_EQ(asked, 1);
    EXPECT_EQ(seen[0].path, "docs\\guide.txt");
    EXPECT_EQ(seen[0].destSize, std::to_string(strlen("existing docs\\guide.txt")) + " バイト");
    EXPECT_EQ(seen[0].sourceSize, std::to_string(ReadInput("basic\\docs\\guide.txt").size()) + " バイト");
    EXPECT_EQ(seen[0].sourceTime, SystemFormatted(kMemberTime));
    EXPECT_EQ(seen[0].destTime, SystemFormatted(kMemberTime - 3600 * 10000000ULL));
    EXPECT_TRUE(seen[0].radio[1]);  // the context's mode preselected
    for (const char* name : {"docs\\guide.txt", "README", "data.kdw", "empty.txt"})
        EXPECT_TRUE(Written(name)) << name;
    EXPECT_EQ(context.copyMode, CopyMode::Replace);
    EXPECT_TRUE(context.doNotAsk);
    const std::vector<std::string> lines = log.Lines();
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), Path("README")) != lines.end());
}

TEST_F(ExtractWithQuestions, SkipWithoutTheBoxAsksAboutEveryDifferingMember)
{
    TestLog log(dir_);
    ExtractContext context = {owner_.get(), CopyMode::Replace, false, log.log()};
    std::vector<std::string> asked;
    HRESULT result;
    {
        DialogWatcher watcher([&](HWND dialog, int) {
            asked.push_back(ControlText(dialog, kCopyMemberPath));
            ClickControl(dialog, kCopySkip);
            PressButton(dialog, IDOK);
        });
        result = PlanAndExtractResource(&context, kBasicArchive, dir_);
    }
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(asked, (std::vector<std::string>{"docs\\guide.txt", "README", "data.kdw"}));
    for (const char* name : {"docs\\guide.txt", "README", "data.kdw"})
        EXPECT_EQ(ReadWholeFile(Path(name)), std::string("existing ") + name);
    EXPECT_TRUE(Written("x.ini"));
    EXPECT_TRUE(Written("empty.txt"));
    // docs\ existed already: created by nobody, logged by nobody.
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"[Files]", Path("Readme.Exe"), Path("x.ini"), Path("empty.txt")}));
    EXPECT_EQ(context.copyMode, CopyMode::Skip);
    EXPECT_FALSE(context.doNotAsk);
}

// Cancel ends the archive with E_ABORT before anything is written, the
// members answered before it included.
TEST_F(ExtractWithQuestions, CancelStopsTheArchive)
{
    TestLog log(dir_);
    ExtractContext context = {owner_.get(), CopyMode::ReplaceUnlessNewer, false, log.log()};
    HRESULT result;
    {
        DialogWatcher watcher([&](HWND dialog, int index) {
            if (index == 0) {
                ClickControl(dialog, kCopyReplace);
                PressButton(dialog, IDOK);
            } else {
                PressButton(dialog, IDCANCEL);
            }
        });
        result = PlanAndExtractResource(&context, kBasicArchive, dir_);
        EXPECT_EQ(watcher.Count(), 2);
    }
    EXPECT_EQ(result, E_ABORT);
    for (const char* name : {"docs\\guide.txt", "README", "data.kdw"})
        EXPECT_EQ(ReadWholeFile(Path(name)), std::string("existing ") + name);
    for (const char* name : {"Readme.Exe", "x.ini", "empty.txt"})
        EXPECT_FALSE(PathExists(Path(name))) << name;
    EXPECT_TRUE(log.Lines().empty());
    // The choice of the first answer stays; the cancelled one changed nothing.
    EXPECT_EQ(context.copyMode, CopyMode::Replace);
    EXPECT_FALSE(context.doNotAsk);
}

// A question that cannot be put at all (its owner is gone) is a failure of
// its own, not the user's Cancel; nothing is written from there on.
TEST_F(ExtractWithQuestions, DialogThatCannotBeCreatedReportsItsError)
{
    HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    ExtractContext context = {gone, CopyMode::Replace, false, nullptr};
    const HRESULT result = PlanAndExtractResource(&context, kBasicArchive, dir_);
    EXPECT_TRUE(FAILED(result) && result != E_ABORT) << std::hex << result;
    EXPECT_EQ(ReadWholeFile(Path("docs\\guide.txt")), "existing docs\\guide.txt");
    EXPECT_FALSE(PathExists(Path("empty.txt")));
}
