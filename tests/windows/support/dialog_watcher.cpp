#include "dialog_watcher.h"

#include <cstring>

OwnerWindow::OwnerWindow(int x, int y, int width, int height, bool visible)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TestOwnerWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "owner", WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                              nullptr, wc.hInstance, nullptr);
    if (visible) {
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
    }
}

OwnerWindow::~OwnerWindow()
{
    DestroyWindow(window_);
}

DialogWatcher::DialogWatcher(Handler handler)
    : handler_(std::move(handler)), uiThread_(GetCurrentThreadId()), thread_([this] { Run(); })
{
}

DialogWatcher::~DialogWatcher()
{
    stop_ = true;
    thread_.join();
}

namespace {

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void DialogWatcher::Run()
{
    while (!stop_) {
        HWND dialog = nullptr;
        EnumThreadWindows(uiThread_, FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog != nullptr) {
            const int index = count_++;
            if (handler_)
                handler_(dialog, index);
            else
                PressButton(dialog, IDCANCEL);
            while (IsWindow(dialog) && !stop_)
                Sleep(10);
        }
        Sleep(10);
    }
}

std::string ControlText(HWND dialog, int id)
{
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickControl(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
