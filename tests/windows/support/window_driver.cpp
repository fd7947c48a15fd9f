#include "window_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include "screen_capture.h"

namespace {

struct Search {
    DWORD pid;
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && (*search->match)(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK VisitChild(HWND window, LPARAM param)
{
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(WindowText(window));
    return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

HWND WaitForTopLevelWindow(DWORD pid, const std::function<bool(HWND)>& match, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            Search search = {pid, &match, nullptr};
            EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
            found = search.found;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND WaitForOwnedDialog(DWORD pid, HWND owner, DWORD timeoutMs)
{
    return WaitForTopLevelWindow(
        pid,
        [owner](HWND window) {
            return window != owner && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == owner &&
                   ClassName(window) == "#32770";
        },
        timeoutMs);
}

std::string WindowText(HWND window)
{
    // Long enough for the uninstaller's reports. WM_GETTEXT asks the control
    // itself (an edit keeps its text apart from the window's title).
    char text[4096] = "";
    if (window)
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

std::string ClassName(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<std::string> ChildTexts(HWND window)
{
    std::vector<std::string> texts;
    EnumChildWindows(window, &VisitChild, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool IsChecked(HWND dialog, int id)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_BLOCK, 5000, &state);
    return state == BST_CHECKED;
}

void CheckOnly(HWND dialog, int checked, std::initializer_list<int> cleared)
{
    for (int id : cleared)
        SendMessageTimeoutA(GetDlgItem(dialog, id), BM_SETCHECK, BST_UNCHECKED, 0, SMTO_BLOCK, 5000, nullptr);
    SendMessageTimeoutA(GetDlgItem(dialog, checked), BM_SETCHECK, BST_CHECKED, 0, SMTO_BLOCK, 5000, nullptr);
}

int CurrentPageIndex(HWND sheet)
{
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!page)
        return -1;
    return static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

bool SaveWindowShot(HWND window, const char* path)
{
    RECT rect;
    return GetWindowRect(window, &rect) && SaveScreenArea(rect, path);
}

std::string ScreenPath(const char* name)
{
    return ScreensFolder() + "\\" + name + ".png";
}
