#include "gui_driver.h"

#include "screen_capture.h"

#include <commctrl.h>
#include <prsht.h>


namespace {

struct Search
{
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
    auto* texts = reinterpret_cast<std::vector<std::string>*>(param);
    texts->push_back(WindowText(window));
    return TRUE;
}

} // namespace

HWND WaitForTopLevelWindow(DWORD pid, const std::function<bool(HWND)>& match, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search = {pid, &match, nullptr};
        EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    // WM_GETTEXT reaches windows of other threads and processes alike.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
    return text;
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

HWND WaitForOwnedDialog(DWORD pid, HWND owner, DWORD timeoutMs)
{
    return WaitForTopLevelWindow(
        pid,
        [owner](HWND window) {
            return window != owner && GetWindow(window, GW_OWNER) == owner && ClassName(window) == "#32770" &&
                   IsWindowVisible(window);
        },
        timeoutMs);
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
