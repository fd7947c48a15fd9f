#include "setup/comctl_version.h"

#include <shlwapi.h>

DWORD GetCommonControlsVersion(const char* library)
{
    // The module the program already runs with (the side-by-side one the
    // manifest selects); loaded here only when it is not.
    HMODULE loaded = GetModuleHandleA(library);
    HMODULE module = loaded != nullptr ? loaded : LoadLibraryA(library);
    if (!module)
        return 0;
    DWORD version = 0;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")));
    if (getVersion) {
        DLLVERSIONINFO info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        if (SUCCEEDED(getVersion(&info)))
            version = ((info.dwMajorVersion & 0xFFFF) << 16) | (info.dwMinorVersion & 0xFFFF);
    }
    if (loaded == nullptr)
        FreeLibrary(module);
    return version;
}

bool CheckCommonControls(const char* library)
{
    if (GetCommonControlsVersion(library) >= kRequiredCommonControls)
        return true;
    MessageBoxA(nullptr,
                "CD のルート ディレクトリにある \"VcRedist.exe\" を実行して、\n"
                "英語の表示に従って Windows を再起動してから、もう一度試してください。",
                "情報", MB_ICONINFORMATION | MB_OK);
    return false;
}
