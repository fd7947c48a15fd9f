#include "user_input.h"

namespace {

INPUT Key(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT Mouse(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

bool BringToFront(HWND window)
{
    HWND top = GetAncestor(window, GA_ROOT);
    if (!top || !IsWindowVisible(top))
        return false;
    if (GetForegroundWindow() != top)
        SetForegroundWindow(top);
    for (int i = 0; i < 100 && GetForegroundWindow() != top; ++i)
        Sleep(10);
    return GetForegroundWindow() == top;
}

}  // namespace

bool ClickWindow(HWND window)
{
    RECT r;
    if (!window || !IsWindowVisible(window) || !IsWindowEnabled(window) || !GetWindowRect(window, &r))
        return false;
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    // A user clicks what is on top: a message box over the button takes it.
    // (Within the window's own dialog a group box may be what the point
    // finds; it lets clicks through.)
    HWND hit = WindowFromPoint(centre);
    if (!hit || GetAncestor(hit, GA_ROOT) != GetAncestor(window, GA_ROOT))
        return false;
    if (!SetCursorPos(centre.x, centre.y))
        return false;
    INPUT inputs[] = {Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)};
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool ClickDlgItem(HWND dialog, int id)
{
    return ClickWindow(GetDlgItem(dialog, id));
}

bool PressKey(HWND target, WORD vk, bool alt)
{
    if (!BringToFront(target))
        return false;
    INPUT inputs[4];
    UINT n = 0;
    if (alt)
        inputs[n++] = Key(VK_MENU, false);
    inputs[n++] = Key(vk, false);
    inputs[n++] = Key(vk, true);
    if (alt)
        inputs[n++] = Key(VK_MENU, true);
    return SendInput(n, inputs, sizeof(INPUT)) == n;
}
