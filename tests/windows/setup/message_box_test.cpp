// ShowError and AskUser put up real message boxes; a second thread finds
// each box, reads it back and presses a button.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ground/result.h"
#include "window/message_box.h"

namespace {

struct SeenBox {
    bool found = false;
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    HICON icon = nullptr;
    std::vector<int> buttons;
};

struct FindContext {
    DWORD threadId;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    auto* context = reinterpret_cast<FindContext*>(param);
    char className[32];
    if (GetWindowThreadProcessId(window, nullptr) == context->threadId && IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) && std::string(className) == "#32770") {
        context->box = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param)
{
    auto* seen = reinterpret_cast<SeenBox*>(param);
    char className[32];
    GetClassNameA(child, className, sizeof className);
    const std::string name = className;
    if (name == "Static" || name == "STATIC" || name == "static") {
        if (GetWindowLongA(child, GWL_STYLE) & SS_ICON) {
            seen->icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        } else {
            char text[2048];
            const int length = GetWindowTextA(child, text, sizeof text);
            if (length > 0)
                seen->text = std::string(text, static_cast<size_t>(length));
        }
    } else if (name == "Button" && IsWindowVisible(child)) {
        seen->buttons.push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

// Watches the given thread for its message box, reads it and presses `press`.
std::thread Watch(DWORD threadId, int press, SeenBox* seen)
{
    return std::thread([=] {
        for (int attempt = 0; attempt < 200; ++attempt) {
            FindContext context{threadId, nullptr};
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&context));
            if (context.box != nullptr) {
                Sleep(100);  // let the box finish laying itself out
                seen->found = true;
                char caption[1024];
                GetWindowTextA(context.box, caption, sizeof caption);
                seen->caption = caption;
                seen->owner = GetWindow(context.box, GW_OWNER);
                EnumChildWindows(context.box, ReadChild, reinterpret_cast<LPARAM>(seen));
                PostMessageA(context.box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
                return;
            }
            Sleep(50);
        }
    });
}

class MessageBoxTest : public testing::Test {
protected:
    void SetUp() override
    {
        owner_ = CreateWindowExA(0, "STATIC", "ブレンナビューア セットアップ", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                 0, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override { DestroyWindow(owner_); }

    HWND owner_ = nullptr;
};

std::string Normalize(std::string text)
{
    // Static controls may show line breaks as CR LF.
    std::string out;
    for (char c : text) {
        if (c != '\r')
            out.push_back(c);
    }
    return out;
}

}  // namespace

TEST_F(MessageBoxTest, ShowErrorShowsTheComposedTextWithOkAndExclamation)
{
    SeenBox seen;
    std::thread watcher = Watch(GetCurrentThreadId(), IDOK, &seen);
    ShowError(owner_, E_FAIL, "インストールできませんでした。");
    watcher.join();
    ASSERT_TRUE(seen.found);

    char expected[1024];
    ComposeErrorText(sizeof expected, expected, E_FAIL, "インストールできませんでした。");
    EXPECT_EQ(Normalize(seen.text), Normalize(expected));
    EXPECT_NE(seen.text.find("HRESULT: 0x80004005"), std::string::npos);
    EXPECT_EQ(seen.owner, owner_);
    // The system's default title, not the owner's.
    EXPECT_FALSE(seen.caption.empty());
    EXPECT_NE(seen.caption, "ブレンナビューア セットアップ");
    EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_EXCLAMATION)));
}

TEST_F(MessageBoxTest, ShowErrorOfCorruptData)
{
    SeenBox seen;
    std::thread watcher = Watch(GetCurrentThreadId(), IDOK, &seen);
    ShowError(owner_, E_CORRUPT_DATA, "%sを展開できません。", "ORVIK.exe");
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(Normalize(seen.text),
              "ORVIK.exeを展開できません。\n\nデータが壊れています。\n正常なデータを入手してください。\n"
              "ハードウェアが故障している場合もあります。\n\n");
}

TEST_F(MessageBoxTest, AskUserUsesTheOwnersTitleAndReturnsTheButton)
{
    for (int press : {IDNO, IDYES}) {
        SCOPED_TRACE(press);
        SeenBox seen;
        std::thread watcher = Watch(GetCurrentThreadId(), press, &seen);
        const int answer = AskUser(owner_, "インストールを中止しますか?", MB_YESNO | MB_ICONQUESTION);
        watcher.join();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(answer, press);
        EXPECT_EQ(seen.text, "インストールを中止しますか?");
        EXPECT_EQ(seen.caption, "ブレンナビューア セットアップ");
        EXPECT_EQ(seen.owner, owner_);
        EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION)));
    }
}

TEST_F(MessageBoxTest, AskUserFormatsAndCutsTheQuestion)
{
    SeenBox seen;
    std::thread watcher = Watch(GetCurrentThreadId(), IDOK, &seen);
    const std::string longWord(1000, 'q');
    AskUser(owner_, "%s %d", MB_OK, longWord.c_str(), 5);
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, longWord.substr(0, 779));
}
