// Helpers for tests that drive windows from another thread or process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls the top-level windows of process pid until match accepts one;
// null after timeoutMs.
HWND WaitForTopLevelWindow(DWORD pid, const std::function<bool(HWND)>& match, DWORD timeoutMs = 10000);
// Polls until condition holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Texts of the direct children of window, in z-order.
std::vector<std::string> ChildTexts(HWND window);

// A dialog-class (#32770) top-level window of pid owned by owner.
HWND WaitForOwnedDialog(DWORD pid, HWND owner, DWORD timeoutMs = 10000);

// Index of the current page of a property sheet; -1 when none.
int CurrentPageIndex(HWND sheet);

// Saves what the screen shows of window as a PNG file at path.
bool SaveWindowShot(HWND window, const char* path);
// <screens folder>\<name>.png (screen_capture.h).
std::string ScreenPath(const char* name);
