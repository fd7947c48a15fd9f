#include "wizard/destination_choice.h"

#include <shlobj.h>

#include "ground/path.h"
#include "ground/product_names.h"
#include "ground/result.h"
#include "registration/earlier_install.h"
#include "wizard/resource_ids.h"

namespace {

const char kBrowsePrompt[] =
    "既存のディレクトリを選択できます。わからない場合は [キャンセル] をクリックしてください。";

}  // namespace

HRESULT DefaultOnWindowsDrive(char* buffer)
{
    // Only a drive-letter path has a root to install beside Windows; a
    // network path or anything else proposes nothing.
    if (buffer[0] == '\0' || IsDBCSLeadByte(static_cast<BYTE>(buffer[0])) || buffer[1] != ':' ||
        buffer[2] != '\\')
        return E_FAIL;
    return CopyBounded(buffer + 3, MAX_PATH - 3, kDefaultDestinationTail);
}

HRESULT ChooseDefaultDestination(char* buffer)
{
    EarlierInstallInfo earlier;
    earlier.AppName[0] = '\0';
    earlier.AppPath[0] = '\0';
    if (FindEarlierInstall(kProductKeyPath, &earlier)) {
        HRESULT result = CopyBounded(buffer, MAX_PATH, earlier.AppPath);
        RemoveLastComponent(buffer);
        return result;
    }
    UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        buffer[0] = '\0';
        return E_FAIL;
    }
    return DefaultOnWindowsDrive(buffer);
}

void BrowseForDestination(HWND page)
{
    BROWSEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.hwndOwner = page;
    info.lpszTitle = kBrowsePrompt;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (!item)
        return;
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(item, path))
        SetDlgItemTextA(page, IDC_DESTINATION, path);
    CoTaskMemFree(item);
}

bool IsForeignDrawingServer()
{
    char server[MAX_PATH];
    LONG size = sizeof(server);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, kDrawingServerKeyPath, server, &size) != ERROR_SUCCESS)
        return false;
    // A value stored without terminator ends where its data ends.
    server[sizeof(server) - 1] = '\0';
    if (size >= 0 && size < static_cast<LONG>(sizeof(server)))
        server[size] = '\0';

    WIN32_FIND_DATAA found;
    ZeroMemory(&found, sizeof(found));
    HANDLE search = FindFirstFileA(server, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    // Compared ignoring case: the registration records the short path.
    return lstrcmpiA(found.cFileName, kExecutableName) != 0;
}
