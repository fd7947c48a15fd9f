// Driving windows of the test's own threads or of another process under the
// same wineserver: finding them, waiting for them, reading their texts back
// with WM_GETTEXT (which reaches other threads and processes alike), and
// saving what the screen shows of them. Clicks and keys: user_input.h.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// Polls until condition holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);
// Polls the top-level windows of process pid until match accepts one;
// null after timeoutMs.
HWND WaitForTopLevelWindow(DWORD pid, const std::function<bool(HWND)>& match, DWORD timeoutMs = 10000);
// A visible dialog-class (#32770) top-level window of pid owned by owner: a
// message box or a dialog over it.
HWND WaitForOwnedDialog(DWORD pid, HWND owner, DWORD timeoutMs = 10000);

// "" for no window.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
std::string ClassName(HWND window);
// Texts of all child windows, in z-order.
std::vector<std::string> ChildTexts(HWND window);
bool IsChecked(HWND dialog, int id);
// Checks one radio button of dialog and clears the others.
void CheckOnly(HWND dialog, int checked, std::initializer_list<int> cleared);

// Index of the current page of a property sheet; -1 when none.
int CurrentPageIndex(HWND sheet);

// Saves what the screen shows of window as a PNG file at path.
bool SaveWindowShot(HWND window, const char* path);
// <screens folder>\<name>.png (screen_capture.h).
std::string ScreenPath(const char* name);
