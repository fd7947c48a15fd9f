// A stand-in common-controls library: DllGetVersion reports the version the
// build gives it (VERSION_MAJOR, VERSION_MINOR) or fails (VERSION_FAILS).
// Built without NO_EXPORT it exports DllGetVersion; with it, nothing.
#include <windows.h>
#include <shlwapi.h>

#ifndef NO_EXPORT
extern "C" __declspec(dllexport) HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO* info)
{
    // The caller must hand over a zeroed record that names its size.
    if (info->cbSize != sizeof(DLLVERSIONINFO) || info->dwMajorVersion || info->dwMinorVersion ||
        info->dwBuildNumber || info->dwPlatformID)
        return E_INVALIDARG;
    info->dwMajorVersion = VERSION_MAJOR;
    info->dwMinorVersion = VERSION_MINOR;
    info->dwBuildNumber = 1;
    info->dwPlatformID = DLLVER_PLATFORM_NT;
#ifdef VERSION_FAILS
    return E_FAIL;
#else
    return S_OK;
#endif
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
