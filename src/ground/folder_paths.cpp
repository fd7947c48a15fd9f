#include "ground/folder_paths.h"

#include <shlobj.h>

#include "ground/process_hardening.h"

namespace {

// Loaded once and never freed: the function is used until the process ends.
HMODULE folderModule = nullptr;

}  // namespace

FolderPathFunction LoadFolderPathFunction()
{
    if (folderModule == nullptr) {
        // From the system directory by its full path: the folder the setup
        // is started from may hold a library of that name. The 9x family has
        // no users to guard against, and may only know the name.
        char path[MAX_PATH];
        if (SystemLibraryPath("SHFolder.dll", path, sizeof path))
            folderModule = LoadLibraryA(path);
        if (folderModule == nullptr && IsWindows9xFamily())
            folderModule = LoadLibraryA("SHFolder.dll");
        if (folderModule == nullptr) {
            return nullptr;
        }
    }
    // Through the generic function type, which GCC allows to be cast to any.
    auto address = reinterpret_cast<void (*)()>(GetProcAddress(folderModule, "SHGetFolderPathA"));
    return reinterpret_cast<FolderPathFunction>(address);
}

HRESULT GetFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, char* path)
{
    path[0] = '\0';
    FolderPathFunction function = LoadFolderPathFunction();
    if (function == nullptr) {
        return E_NOTIMPL;
    }
    return function(owner, folder, token, flags, path);
}

bool IsWindows9xFamily()
{
    return (GetVersion() & 0x80000000u) != 0;
}

int ProgramsFolderId()
{
    return IsWindows9xFamily() ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS;
}

int DesktopFolderId()
{
    return IsWindows9xFamily() ? CSIDL_DESKTOPDIRECTORY : CSIDL_COMMON_DESKTOPDIRECTORY;
}
