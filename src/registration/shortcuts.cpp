#include "registration/shortcuts.h"

#include <objidl.h>
#include <shlobj.h>

#include <cstring>

#include "ground/folder_paths.h"
#include "ground/path.h"
#include "ground/product_names.h"
#include "installlog/directory_creation.h"
#include "installlog/install_log.h"

HRESULT CreateShortcuts(HWND owner, const char* destination, InstallLog* log)
{
    const int programsId = ProgramsFolderId();
    const int desktopId = DesktopFolderId();

    // No creation flag: a special folder that is missing ends the step.
    char programs[PATH_BUFFER_SIZE];
    HRESULT result = GetFolderPath(owner, programsId, nullptr, 0, programs);
    if (result != S_OK) {
        return result;
    }
    char desktop[PATH_BUFFER_SIZE];
    result = GetFolderPath(owner, desktopId, nullptr, 0, desktop);
    if (result != S_OK) {
        return result;
    }

    char folder[PATH_BUFFER_SIZE];
    if (JoinPath(folder, programs, kMenuFolderName) != S_OK) {
        return E_FAIL;
    }
    result = CreateDirectoryLogged(folder, log);
    if (result != S_OK) {
        return result;
    }

    char workingDirectory[PATH_BUFFER_SIZE];
    result = CopyBounded(workingDirectory, sizeof workingDirectory, destination);
    if (result != S_OK) {
        return result;
    }
    RemoveBackslash(workingDirectory);

    result = CreateShortcut(destination, kExecutableName, folder, kShortcutFileName, workingDirectory, log);
    if (result != S_OK) {
        return result;
    }
    return CreateShortcut(destination, kExecutableName, desktop, kShortcutFileName, workingDirectory, log);
}

HRESULT CreateShortcut(const char* targetDirectory, const char* targetName,
                       const char* shortcutDirectory, const char* shortcutName,
                       const char* workingDirectory, InstallLog* log)
{
    char targetPath[PATH_BUFFER_SIZE];
    if (JoinPath(targetPath, targetDirectory, targetName) != S_OK) {
        return E_FAIL;
    }
    char shortcutPath[PATH_BUFFER_SIZE];
    if (JoinPath(shortcutPath, shortcutDirectory, shortcutName) != S_OK) {
        return E_FAIL;
    }
    // A new shortcut is listed before it is saved, so that a run stopped in
    // between leaves none that the log does not name; so only where its
    // folder is there to hold it.
    const DWORD folder = GetFileAttributesA(shortcutDirectory);
    const bool fresh = log != nullptr && GetFileAttributesA(shortcutPath) == INVALID_FILE_ATTRIBUTES &&
                       folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY);
    HRESULT result = fresh ? log->Add(LogEntryKind::File, shortcutPath) : S_OK;
    if (result == S_OK) {
        result = SaveShellLink(shortcutPath, workingDirectory, targetPath);
    }
    if (result == S_OK && log != nullptr && !fresh) {
        result = log->Add(LogEntryKind::File, shortcutPath);
        // The log must list what exists.
        if (result != S_OK) {
            DeleteFileA(shortcutPath);
        }
    }
    return result;
}

HRESULT SaveShellLink(const char* shortcutPath, const char* workingDirectory,
                      const char* targetPath)
{
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    // __uuidof, not libuuid's CLSID_/IID_ symbols: those sit in one object
    // of some thousand GUIDs that would be linked whole.
    HRESULT result = CoCreateInstance(__uuidof(ShellLink), nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IShellLinkA), reinterpret_cast<void**>(&link));
    if (result >= 0) {
        result = link->SetWorkingDirectory(workingDirectory);
    }
    if (result >= 0) {
        result = link->SetPath(targetPath);
    }
    if (result >= 0) {
        result = link->QueryInterface(__uuidof(IPersistFile), reinterpret_cast<void**>(&file));
    }
    if (result >= 0) {
        WCHAR widePath[PATH_BUFFER_SIZE] = {};
        const int length = static_cast<int>(strlen(shortcutPath)) + 1;
        MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath,
                            length < static_cast<int>(PATH_BUFFER_SIZE) ? length
                                                                        : static_cast<int>(PATH_BUFFER_SIZE));
        result = file->Save(widePath, TRUE);
    }
    if (file != nullptr) {
        file->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    return result;
}
