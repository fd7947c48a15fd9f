#include "ground/process_hardening.h"

#include <cstring>

namespace {

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

// 64 bits from the system's random generator: RtlGenRandom, which advapi32
// exports as SystemFunction036 from Windows XP on. Windows 95/98/Me have
// none, and no other users who could guess a name ahead: there the time, the
// process and a counter are mixed (splitmix64), and a name taken is simply
// tried again.
uint64_t RandomBits()
{
    using GenerateRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    static GenerateRandom generate = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        generate = SystemFunction<GenerateRandom>("advapi32.dll", "SystemFunction036");
    }
    uint64_t value = 0;
    if (generate != nullptr && generate(&value, sizeof value))
        return value;
    static uint64_t state = 0;
    if (state == 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        state = static_cast<uint64_t>(counter.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                GetTickCount();
    }
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}
