#include "setup/process_hardening.h"

#include <cstring>

namespace {

// Looked up at run time: the program also starts on systems without them.
template <typename Function>
Function SystemFunction(const char* module, const char* name)
{
    HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr)
        return nullptr;
    // Through the generic function type, which GCC allows to be cast to any.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}

// Windows 7 (6.1) or later. On Vista the restricted search keeps the
// shell-link object from loading what it needs.
bool AfterVista()
{
    const DWORD version = GetVersion();
    if (version & 0x80000000u)
        return false;
    const BYTE major = LOBYTE(LOWORD(version)), minor = HIBYTE(LOWORD(version));
    return major > 6 || (major == 6 && minor >= 1);
}

constexpr int kRedirectionTrustPolicy = 16;  // PROCESS_MITIGATION_POLICY: ProcessRedirectionTrustPolicy

// Libraries the system's own code loads by name later, while the wizard is
// drawn, a shortcut is made or a folder looked up. Loaded here from the
// system directory by full path, a later load by name finds them loaded:
// where the restricted search is missing (Vista and before), and where a
// system's delay-loading does not follow it (Wine's does not).
const char* const kLoadedLater[] = {"uxtheme.dll", "msimg32.dll", "version.dll", "userenv.dll", "setupapi.dll",
                                    "dwmapi.dll",  "oleacc.dll",  "apphelp.dll", "propsys.dll",  "cryptbase.dll"};

}  // namespace

void HardenProcess()
{
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCSTR);
    using SetPolicy = BOOL(WINAPI*)(int, PVOID, SIZE_T);

    auto setDefault = SystemFunction<SetDefaultDirectories>("kernel32.dll", "SetDefaultDllDirectories");
    if (!(AfterVista() && setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))) {
        if (auto setDirectory = SystemFunction<SetDirectory>("kernel32.dll", "SetDllDirectoryA"))
            setDirectory("");
    }
    // A library this system lacks is no error to show the user.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const char* name : kLoadedLater) {
        char path[MAX_PATH];
        if (SystemLibraryPath(name, path, sizeof path))
            LoadLibraryA(path);
    }
    SetErrorMode(errorMode);
    // Links made by users without rights are not followed (Windows 11, and
    // Windows 10 22H2 with the update); elsewhere the call fails and changes
    // nothing.
    if (auto setPolicy = SystemFunction<SetPolicy>("kernel32.dll", "SetProcessMitigationPolicy")) {
        DWORD enforce = 1;  // EnforceRedirectionTrust
        setPolicy(kRedirectionTrustPolicy, &enforce, sizeof enforce);
    }
}

bool SystemLibraryPath(const char* name, char* path, size_t size)
{
    const UINT length = GetSystemDirectoryA(path, static_cast<UINT>(size));
    const size_t nameLength = std::strlen(name);
    if (length == 0 || length + 1 + nameLength >= size)
        return false;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    return true;
}

bool SystemRandom(void* bytes, ULONG size)
{
    // RtlGenRandom, exported under this name since Windows XP.
    using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    auto generate = SystemFunction<GenRandom>("advapi32.dll", "SystemFunction036");
    return generate != nullptr && generate(bytes, size);
}
