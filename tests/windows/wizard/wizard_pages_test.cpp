// The six pages inside this process: their descriptions, and what the
// settings hold after the wizard was driven from a second thread.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialog_watcher.h"
#include "extraction/copy_method_dialog.h"
#include "text_fit.h"
#include "window/app_module.h"
#include "window_driver.h"
#include "wizard/aborted_page.h"
#include "wizard/association_page.h"
#include "wizard/destination_page.h"
#include "wizard/finished_page.h"
#include "wizard/ready_page.h"
#include "wizard/resource_ids.h"
#include "wizard/setup_wizard.h"
#include "wizard/welcome_page.h"
#include "wizard_texts.h"

namespace {

// Pages load their templates from the module record's instance: this
// program, which carries setup.exe's resources.
class ModuleEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        CoInitialize(nullptr);
        g_appModule.Init(GetModuleHandleA(nullptr));
    }
    void TearDown() override
    {
        g_appModule.Term();
        CoUninitialize();
    }
};
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

HWND FindSheet()
{
    HWND sheet = nullptr;
    WaitUntil([&] {
        sheet = FindWindowA(nullptr, wizard_texts::kTitle);
        return sheet && IsWindowVisible(sheet);
    });
    return sheet;
}

int PageId(HWND sheet)
{
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!page)
        return -1;
    int index = static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
    return static_cast<int>(SendMessageA(sheet, PSM_INDEXTOID, index, 0));
}

bool Press(HWND sheet, int button, int page)
{
    PostMessageA(sheet, PSM_PRESSBUTTON, button, 0);
    return WaitUntil([&] { return PageId(sheet) == page; });
}

// Cancel, Yes, and Finish on the aborted page.
void CancelAndFinish(HWND sheet)
{
    PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(sheet, IDCANCEL)));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        box = FindWindowA("#32770", wizard_texts::kTitle);
        return box && box != sheet && IsWindowVisible(box);
    }));
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(WaitUntil([&] { return PageId(sheet) == IDD_ABORTED; }));
    Sleep(100);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
}

// Runs the wizard here while drive works it from a second thread.
void RunDriven(SetupWizard& wizard, const std::function<void(HWND sheet)>& drive)
{
    std::thread driver([&] {
        HWND sheet = FindSheet();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return PageId(sheet) == IDD_WELCOME; }));
        drive(sheet);
    });
    INT_PTR result = wizard.RunModal(nullptr);
    driver.join();
    EXPECT_EQ(result, 1);
}

}  // namespace

TEST(WizardPages, DescriptionsInSheetOrder)
{
    WelcomePage welcome;
    DestinationPage destination;
    AssociationPage association;
    ReadyPage ready;
    FinishedPage finished;
    AbortedPage aborted;
    const WizardPage* const pages[] = {&welcome, &destination, &association, &ready, &finished, &aborted};
    ASSERT_EQ(wizard_texts::kPages.size(), std::size(pages));
    for (size_t i = 0; i < std::size(pages); ++i) {
        const wizard_texts::Page& p = wizard_texts::kPages[i];
        const PROPSHEETPAGEA& d = pages[i]->Description();
        SCOPED_TRACE(p.dialog);
        EXPECT_EQ(pages[i]->DialogId(), p.dialog);
        EXPECT_TRUE(d.dwFlags & PSP_USETITLE);
        EXPECT_STREQ(d.pszTitle, wizard_texts::kTitle);
        if (p.headerTitle) {
            EXPECT_EQ(d.dwFlags & (PSP_HIDEHEADER | PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE),
                      static_cast<DWORD>(PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE));
            EXPECT_STREQ(d.pszHeaderTitle, p.headerTitle);
            EXPECT_STREQ(d.pszHeaderSubTitle, p.headerSubtitle);
        } else {
            EXPECT_EQ(d.dwFlags & (PSP_HIDEHEADER | PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE),
                      static_cast<DWORD>(PSP_HIDEHEADER));
        }
    }
}

// 300 typed characters reach the settings as their first 259.
TEST(WizardPages, TypedDestinationIsCutTo259Bytes)
{
    std::string typed = "C:\\";
    for (char c = 'a'; typed.size() < 300; c = c == 'z' ? 'a' : c + 1)
        typed += c;
    SetupWizard wizard;
    RunDriven(wizard, [&](HWND sheet) {
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_DESTINATION));
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        SetDlgItemTextA(page, IDC_DESTINATION, typed.c_str());
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_ASSOCIATION));
        CancelAndFinish(sheet);
    });
    EXPECT_EQ(std::string(wizard.Settings().destination), typed.substr(0, 259));
    EXPECT_FALSE(wizard.Settings().associate);
}

// The answer is stored on Next only; a later visit opens with No but leaves
// the stored answer until Next is pressed there again.
TEST(WizardPages, AssociationStoredOnNextOnly)
{
    SetupWizard wizard;
    bool afterYes = false, afterBackAndForth = false;
    RunDriven(wizard, [&](HWND sheet) {
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_DESTINATION));
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_ASSOCIATION));
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        CheckRadioButton(page, IDC_ASSOCIATE_YES, IDC_ASSOCIATE_NO, IDC_ASSOCIATE_YES);
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_READY));
        afterYes = wizard.Settings().associate;
        ASSERT_TRUE(Press(sheet, PSBTN_BACK, IDD_ASSOCIATION));
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_ASSOCIATE_NO), BST_CHECKED);
        ASSERT_TRUE(Press(sheet, PSBTN_BACK, IDD_DESTINATION));
        afterBackAndForth = wizard.Settings().associate;
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_ASSOCIATION));
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_READY));
        CancelAndFinish(sheet);
    });
    EXPECT_TRUE(afterYes);
    EXPECT_TRUE(afterBackAndForth);
    EXPECT_FALSE(wizard.Settings().associate);
}

// The welcome page centres the sheet on its first activation only.
TEST(WizardPages, WelcomeCentresOncePerRun)
{
    SetupWizard wizard;
    RECT first = {}, moved = {}, work = {};
    RunDriven(wizard, [&](HWND sheet) {
        Sleep(100);
        GetWindowRect(sheet, &first);
        SetWindowPos(sheet, nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(Press(sheet, PSBTN_NEXT, IDD_DESTINATION));
        ASSERT_TRUE(Press(sheet, PSBTN_BACK, IDD_WELCOME));
        Sleep(100);
        GetWindowRect(sheet, &moved);
        CancelAndFinish(sheet);
    });
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = first.right - first.left, height = first.bottom - first.top;
    EXPECT_EQ(first.left, std::max<LONG>(work.left, (work.left + work.right) / 2 - width / 2));
    EXPECT_EQ(first.top, std::max<LONG>(work.top, (work.top + work.bottom) / 2 - height / 2));
    EXPECT_EQ(moved.left, 3);
    EXPECT_EQ(moved.top, 4);
    EXPECT_TRUE(wizard.Settings().centred);
}

// Every static text of the six pages, as each page shows it once activated,
// and of the copy-method dialog fits its control in the control's own font.
TEST(WizardPages, EveryStaticTextFitsItsControl)
{
    const int pages[] = {IDD_WELCOME, IDD_DESTINATION, IDD_ASSOCIATION, IDD_READY, IDD_FINISHED, IDD_ABORTED};
    std::vector<std::string> misfits;
    SetupWizard wizard;
    RunDriven(wizard, [&](HWND sheet) {
        for (int id : pages) {
            SendMessageA(sheet, PSM_SETCURSELID, 0, id);
            ASSERT_TRUE(WaitUntil([&] { return PageId(sheet) == id; })) << id;
            HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            for (const auto& misfit : StaticTextMisfits(page, std::to_string(id)))
                misfits.push_back(misfit);
        }
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });

    // The payload's data file; sizes and a time with every digit there.
    WIN32_FIND_DATAA member = {}, existing = {};
    member.nFileSizeLow = 1234567;
    existing.nFileSizeLow = 7654321;
    SYSTEMTIME wide = {2026, 12, 3, 28, 23, 59, 0, 0};
    SystemTimeToFileTime(&wide, &member.ftLastWriteTime);
    existing.ftLastWriteTime = member.ftLastWriteTime;
    CopyMode mode = CopyMode::ReplaceUnlessNewer;
    bool doNotAsk = false;
    {
        DialogWatcher watcher([&](HWND dialog, int) {
            for (const auto& misfit : StaticTextMisfits(dialog, std::to_string(kCopyMethodTemplate)))
                misfits.push_back(misfit);
            PressButton(dialog, IDCANCEL);
        });
        OwnerWindow owner;
        AskCopyMethod(owner.get(), "ORVIK.DAT", &member, &existing, &mode, &doNotAsk);
    }
    EXPECT_EQ(misfits, std::vector<std::string>());
}
