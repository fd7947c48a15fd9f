// Special folders through SHGetFolderPathA, loaded at run time from
// SHFolder.dll (the program does not import it).
#pragma once

#include <windows.h>

#include "ground/result.h"

typedef HRESULT(WINAPI* FolderPathFunction)(HWND owner, int folder, HANDLE token, DWORD flags,
                                            LPSTR path);

// SHGetFolderPathA, or null when SHFolder.dll or the function is missing.
// The module stays loaded for the life of the process; a failed load is
// tried again on the next call.
FolderPathFunction LoadFolderPathFunction();

// Empties path (260 bytes), then returns SHGetFolderPathA's result
// unchanged; E_NOTIMPL without the function.
HRESULT GetFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, char* path);

// Windows 95/98/Me (top bit of GetVersion set) use the user's own folders,
// the NT family the all-users folders.
bool IsWindows9xFamily();
int ProgramsFolderId();  // CSIDL_PROGRAMS or CSIDL_COMMON_PROGRAMS
int DesktopFolderId();   // CSIDL_DESKTOPDIRECTORY or CSIDL_COMMON_DESKTOPDIRECTORY
