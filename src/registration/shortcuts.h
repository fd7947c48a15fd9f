// The Start-menu folder and the shortcuts to the viewer.
#pragma once

#include <windows.h>

#include "ground/result.h"

class InstallLog;

// Start-menu folder (logged when created), its shortcut and the desktop
// shortcut (both logged), in that order.
HRESULT CreateShortcuts(HWND owner, const char* destination, InstallLog* log);

// Joins both paths, saves the link and logs the shortcut file once saved.
HRESULT CreateShortcut(const char* targetDirectory, const char* targetName,
                       const char* shortcutDirectory, const char* shortcutName,
                       const char* workingDirectory, InstallLog* log);

// Writes a shell link with only the working directory and the target set.
// COM must be initialised on the thread.
HRESULT SaveShellLink(const char* shortcutPath, const char* workingDirectory,
                      const char* targetPath);
