// Input the way a user gives it, for tests that drive a window of this or
// another process: the pointer on a control's centre and a left click, keys
// pressed and released. Everything goes through SendInput, so the target
// sees it through its own message loop, dialog manager and procedures.
#pragma once

#include <windows.h>

// Left click on the centre of window. False, with nothing clicked, when the
// window is hidden or disabled or another window lies over its centre.
bool ClickWindow(HWND window);
bool ClickDlgItem(HWND dialog, int id);

// Brings target's top-level window to the front and types vk there, with
// Alt held when alt is set (Alt+N, Alt+B for the accelerators). False when
// the window cannot be brought to the front.
bool PressKey(HWND target, WORD vk, bool alt = false);
