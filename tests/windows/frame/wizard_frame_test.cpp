// The wizard frame with probe pages, run modally on the test's main thread
// and driven from a second thread the way a user would: wizard buttons by
// PSM_PRESSBUTTON, the Cancel and Close commands as posted messages.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "window_driver.h"
#include "test_module.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"
#include "wizard_texts.h"

static ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

namespace {

// A page that records what reaches it; OnNext/OnBack use the defaults
// unless the test sets an answer.
class ProbePage : public WizardPage
{
public:
    ProbePage(int id, bool interior)
        : WizardPage(id, kWizardTitle, interior ? "見出し" : nullptr, interior ? "説明" : nullptr)
    {
    }

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (messages.empty())
            firstWindow = window;
        messages.push_back(message);
        boundAtFirstMessage = boundAtFirstMessage || (messages.size() == 1 && Window() == window);
        return WizardPage::HandleMessage(window, message, wParam, lParam, result);
    }
    bool OnActivate() override
    {
        ++activations;
        if (finishOnly)
            SetWizardButtons(SheetWindow(), PSWIZB_FINISH);
        return true;
    }
    LRESULT OnNext() override
    {
        ++nextCalls;
        return nextAnswer == kDefault ? WizardPage::OnNext() : nextAnswer.load();
    }
    LRESULT OnBack() override
    {
        ++backCalls;
        return WizardPage::OnBack();
    }
    void OnDetached(HWND window) override
    {
        detached.push_back(window);
        windowAfterDetach = Window();
    }

    static constexpr LRESULT kDefault = 0x7FFF;
    std::atomic<LRESULT> nextAnswer{kDefault};
    std::atomic<int> nextCalls{0};
    std::atomic<int> backCalls{0};
    std::atomic<int> activations{0};
    bool finishOnly = false;

    // Read on the main thread after the run.
    std::vector<UINT> messages;
    HWND firstWindow = nullptr;
    bool boundAtFirstMessage = false;
    std::vector<HWND> detached;
    HWND windowAfterDetach = reinterpret_cast<HWND>(1);
};

// Sheet with four probe pages: welcome-like 201, interior 204 and 213, and
// the closing page 110 that offers only Finish.
struct ProbeWizard
{
    ProbeWizard()
    {
        last.finishOnly = true;
        for (ProbePage* page : {&first, &second, &third, &last})
            sheet.AddPageObject(*page);
    }
    ProbePage first{IDD_WELCOME, false};
    ProbePage second{IDD_DESTINATION, true};
    ProbePage third{IDD_ASSOCIATION, true};
    ProbePage last{IDD_ABORTED, false};
    WizardSheet sheet;
};

HWND WaitForSheet()
{
    return WaitForTopLevelWindow(GetCurrentProcessId(), [](HWND w) {
        return IsWindowVisible(w) && WindowText(w) == kWizardTitle && GetDlgItem(w, kNextButton);
    });
}

// Runs the sheet on this thread while drive(sheet window) runs on another.
INT_PTR RunDriven(WizardSheet& sheet, const std::function<void(HWND)>& drive)
{
    std::thread driver([&] {
        HWND window = WaitForSheet();
        if (!window) {
            ADD_FAILURE() << "the sheet did not appear";
            return;
        }
        drive(window);
        // A failed step must not leave the sheet up: cancel it outright.
        if (!WaitUntil([&] { return !IsWindow(window); }, 5000)) {
            ADD_FAILURE() << "the sheet is still open";
            PostMessageA(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
    });
    INT_PTR result = sheet.RunModal(nullptr);
    driver.join();
    return result;
}

bool PageIs(HWND sheet, int index)
{
    return WaitUntil([&] { return CurrentPageIndex(sheet) == index; }, 5000);
}

void Press(HWND sheet, int button)
{
    PostMessageA(sheet, PSM_PRESSBUTTON, button, 0);
}

// Ends a run from the closing page, whichever page is current.
void FinishFromClosingPage(HWND sheet)
{
    SendMessageA(sheet, PSM_SETCURSELID, 0, IDD_ABORTED);
    ASSERT_TRUE(PageIs(sheet, 3));
    // SetWizardButtons is posted by the page: wait until Finish is offered.
    Sleep(100);
    Press(sheet, PSBTN_FINISH);
}

} // namespace

TEST(WizardFrame, DefaultHandlersMoveToTheAdjacentPageAndAnswersAreHonoured)
{
    ProbeWizard wizard;
    INT_PTR result = RunDriven(wizard.sheet, [&](HWND sheet) {
        ASSERT_TRUE(PageIs(sheet, 0));
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(PageIs(sheet, 1));
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(PageIs(sheet, 2));
        Press(sheet, PSBTN_BACK);
        ASSERT_TRUE(PageIs(sheet, 1));
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(PageIs(sheet, 2));
        // -1 stays on the page.
        wizard.third.nextAnswer = -1;
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return wizard.third.nextCalls == 1; }));
        Sleep(200);
        EXPECT_EQ(CurrentPageIndex(sheet), 2);
        // A dialog id goes to the page made from that template.
        wizard.third.nextAnswer = IDD_WELCOME;
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(PageIs(sheet, 0));
        FinishFromClosingPage(sheet);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(wizard.first.nextCalls, 1);
    EXPECT_EQ(wizard.second.nextCalls, 2);
    EXPECT_EQ(wizard.third.backCalls, 1);
    EXPECT_EQ(wizard.third.nextCalls, 2);
    EXPECT_EQ(wizard.first.activations, 2);
}

TEST(WizardFrame, EveryMessageReachesThePageObjectFromTheFirstOn)
{
    ProbeWizard wizard;
    RunDriven(wizard.sheet, [&](HWND sheet) {
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(PageIs(sheet, 1));
        FinishFromClosingPage(sheet);
    });
    // Pages 0, 1 and 3 were shown; 2 never got a window.
    for (ProbePage* page : {&wizard.first, &wizard.second, &wizard.last}) {
        ASSERT_FALSE(page->messages.empty());
        // The dialog manager's first message to a dialog procedure is the
        // font, before WM_INITDIALOG: the object saw it already bound.
        EXPECT_EQ(page->messages.front(), static_cast<UINT>(WM_SETFONT));
        EXPECT_TRUE(page->boundAtFirstMessage);
        EXPECT_EQ(std::count(page->messages.begin(), page->messages.end(), WM_INITDIALOG), 1);
        // Unbound once, after the last message, which is WM_NCDESTROY.
        EXPECT_EQ(page->messages.back(), static_cast<UINT>(WM_NCDESTROY));
        ASSERT_EQ(page->detached.size(), 1u);
        EXPECT_EQ(page->detached[0], page->firstWindow);
        EXPECT_EQ(page->windowAfterDetach, nullptr);
        EXPECT_EQ(page->Window(), nullptr);
    }
    EXPECT_TRUE(wizard.third.messages.empty());
    EXPECT_EQ(wizard.sheet.Window(), nullptr);
    // Nothing is left waiting for a window.
    EXPECT_EQ(TakePendingWindow(), nullptr);
}

TEST(WizardFrame, OnlyThePageAndTheSheetSendWizardNotifications)
{
    ProbeWizard wizard;
    RunDriven(wizard.sheet, [&](HWND sheet) {
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        ASSERT_NE(page, nullptr);
        struct Source
        {
            const char* name;
            HWND window;
            bool wizard;
        } sources[] = {
            {"page", page, true},
            {"sheet", sheet, true},
            {"child control", GetDlgItem(page, IDC_TEXT1), false},
            {"Next button", GetDlgItem(sheet, kNextButton), false},
            {"desktop", GetDesktopWindow(), false},
        };
        for (const auto& source : sources) {
            ASSERT_NE(source.window, nullptr) << source.name;
            int before = wizard.first.nextCalls;
            NMHDR header = {source.window, 0, PSN_WIZNEXT};
            SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
            EXPECT_EQ(wizard.first.nextCalls - before, source.wizard ? 1 : 0) << source.name;
        }
        // Codes the frame does not answer stay unhandled.
        NMHDR other = {sheet, 0, PSN_GETOBJECT};
        EXPECT_EQ(SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other)), 0);
        EXPECT_EQ(CurrentPageIndex(sheet), 0);
        FinishFromClosingPage(sheet);
    });
}

TEST(WizardFrame, CancelAsksFirstAndNoKeepsEverything)
{
    ProbeWizard wizard;
    std::string sheetTitle, boxTitle;
    std::vector<std::string> boxTexts;
    bool yesNo = false;
    INT_PTR result = RunDriven(wizard.sheet, [&](HWND sheet) {
        Press(sheet, PSBTN_NEXT);
        ASSERT_TRUE(PageIs(sheet, 1));
        sheetTitle = WindowText(sheet);
        HWND cancel = GetDlgItem(sheet, IDCANCEL);
        PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        HWND box = WaitForOwnedDialog(GetCurrentProcessId(), sheet);
        ASSERT_NE(box, nullptr);
        boxTitle = WindowText(box);
        boxTexts = ChildTexts(box);
        yesNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO);
        PostMessageA(box, WM_COMMAND, IDNO, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
        Sleep(200);
        EXPECT_TRUE(IsWindow(sheet));
        EXPECT_EQ(CurrentPageIndex(sheet), 1);

        // Yes shows the closing page.
        PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        box = WaitForOwnedDialog(GetCurrentProcessId(), sheet);
        ASSERT_NE(box, nullptr);
        PostMessageA(box, WM_COMMAND, IDYES, 0);
        ASSERT_TRUE(PageIs(sheet, 3));
        Sleep(100);
        Press(sheet, PSBTN_FINISH);
    });
    EXPECT_EQ(sheetTitle, kWizardTitle);
    EXPECT_EQ(boxTitle, sheetTitle);
    EXPECT_NE(std::find(boxTexts.begin(), boxTexts.end(), wizard_texts::kCancelQuestion), boxTexts.end());
    EXPECT_TRUE(yesNo);
    EXPECT_EQ(result, 1);
}

namespace {

// The sheet window's own procedure, seen from below the frame's binding:
// installed when the window is created, before PSCB_INITIALIZED.
WNDPROC g_systemProcedure = nullptr;
HWND g_recordedSheet = nullptr;
std::vector<std::pair<UINT, WPARAM>> g_belowFrame;
HHOOK g_hook = nullptr;

LRESULT CALLBACK RecordBelowFrame(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOMMAND || message == WM_CLOSE || message == WM_COMMAND)
        g_belowFrame.emplace_back(message, wParam);
    return CallWindowProcA(g_systemProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && !g_recordedSheet) {
        HWND window = reinterpret_cast<HWND>(wParam);
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (!(create->lpcs->style & WS_CHILD) && ClassName(window) == "#32770") {
            g_recordedSheet = window;
            g_systemProcedure = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordBelowFrame)));
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

class RecordingSheet : public WizardSheet
{
public:
    void OnDetached(HWND window) override
    {
        procedureAtDetach = GetWindowLongPtrA(window, GWLP_WNDPROC);
        detachedWindow = window;
    }
    LONG_PTR procedureAtDetach = 0;
    HWND detachedWindow = nullptr;
};

} // namespace

TEST(WizardFrame, SystemCloseReachesTheSystemProcedureAsWmClose)
{
    ProbePage first{IDD_WELCOME, false};
    ProbePage last{IDD_ABORTED, false};
    last.finishOnly = true;
    RecordingSheet sheet;
    sheet.AddPageObject(first);
    sheet.AddPageObject(last);

    g_hook = SetWindowsHookExA(WH_CBT, &WatchCreation, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_hook, nullptr);
    RunDriven(sheet, [&](HWND window) {
        // SC_CLOSE with the low bits a mouse click on the system menu sets.
        for (WPARAM command : {WPARAM(SC_CLOSE), WPARAM(SC_CLOSE | 2)}) {
            if (!IsWindow(window))
                break;
            PostMessageA(window, WM_SYSCOMMAND, command, 0);
            Sleep(300);
            // Whatever the system does with WM_CLOSE, no confirmation may
            // stand between: if a box came up, answer it.
            if (HWND box = WaitForOwnedDialog(GetCurrentProcessId(), window, 300))
                PostMessageA(box, WM_COMMAND, IDNO, 0);
        }
        std::printf("after system Close the sheet is %s\n", IsWindow(window) ? "open" : "closed");
        if (IsWindow(window)) {
            SendMessageA(window, PSM_SETCURSELID, 0, IDD_ABORTED);
            Sleep(100);
            Press(window, PSBTN_FINISH);
        }
    });
    UnhookWindowsHookEx(g_hook);

    ASSERT_NE(g_recordedSheet, nullptr);
    int closes = 0;
    for (const auto& [message, wParam] : g_belowFrame) {
        EXPECT_NE(message, static_cast<UINT>(WM_SYSCOMMAND)) << std::hex << wParam;
        if (message == WM_CLOSE)
            ++closes;
    }
    EXPECT_GE(closes, 1);
    // The system's procedure is back in place when the sheet detaches.
    EXPECT_EQ(sheet.detachedWindow, g_recordedSheet);
    EXPECT_EQ(sheet.procedureAtDetach, reinterpret_cast<LONG_PTR>(&RecordBelowFrame));
    EXPECT_EQ(sheet.PreviousProcedure(), &RecordBelowFrame);
}

namespace {

// A plain modal dialog on the same binding (template 211).
class ProbeDialog : public DialogWindow
{
public:
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result) override
    {
        if (messages.empty())
            boundAtFirstMessage = Window() == window;
        messages.push_back(message);
        switch (message) {
        case WM_USER + 1:
            result = 0x1234;
            return true;
        case WM_CTLCOLORSTATIC:
            result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            return true;
        case WM_QUERYDRAGICON:
            result = 0x4321;
            return true;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                EndDialog(window, 7);
                result = 0;
                return true;
            }
            return false;
        default:
            return false;
        }
    }
    void OnDetached(HWND) override { ++detachCount; }

    std::vector<UINT> messages;
    bool boundAtFirstMessage = false;
    int detachCount = 0;
};

} // namespace

TEST(DialogWindow, ModalDialogsBindAndReturnResultsByTheDialogRules)
{
    ProbeDialog dialog;
    std::vector<LRESULT> answers;
    std::thread driver([&] {
        HWND window = WaitForTopLevelWindow(GetCurrentProcessId(), [](HWND w) {
            return IsWindowVisible(w) && WindowText(w) == wizard_texts::kCopyMethodTitle;
        });
        ASSERT_NE(window, nullptr);
        HWND label = GetDlgItem(window, 1005);
        // Stored in DWLP_MSGRESULT, returned directly, and not handled.
        answers.push_back(SendMessageA(window, WM_USER + 1, 0, 0));
        answers.push_back(SendMessageA(window, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(label)));
        answers.push_back(SendMessageA(window, WM_QUERYDRAGICON, 0, 0));
        answers.push_back(SendMessageA(window, WM_USER + 2, 0, 0));
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    });
    INT_PTR result = dialog.RunModalDialog(nullptr, 211);
    driver.join();

    EXPECT_EQ(result, 7);
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0], 0x1234);
    EXPECT_EQ(answers[1], reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(answers[2], 0x4321);
    EXPECT_EQ(answers[3], 0);
    ASSERT_FALSE(dialog.messages.empty());
    EXPECT_TRUE(dialog.boundAtFirstMessage);
    EXPECT_EQ(dialog.messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(dialog.detachCount, 1);
    EXPECT_EQ(dialog.Window(), nullptr);
}

TEST(DialogWindow, AFailedCreationLeavesNothingPending)
{
    {
        ProbeDialog dialog;
        EXPECT_EQ(dialog.RunModalDialog(nullptr, 9999), -1);
        EXPECT_TRUE(dialog.messages.empty());
    }
    // The next window of this thread must not find the dead object.
    EXPECT_EQ(TakePendingWindow(), nullptr);
}
