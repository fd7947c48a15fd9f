// The two message boxes of the program (Win32 only).
#pragma once

#include <windows.h>

// Error box: ComposeErrorText, MB_OK | MB_ICONEXCLAMATION, default caption.
void ShowError(HWND owner, HRESULT code, const char* format, ...);
// Question box captioned with the owner's title; returns the button pressed.
int AskUser(HWND owner, const char* format, UINT flags, ...);
