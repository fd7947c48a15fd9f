// bench_install_harness install DESTINATION
//     Runs the install procedure as the ready page does (InstallProduct with
//     the association), on the archives linked into this program, and prints
//     its time: run as a process, the installation as setup.exe makes it.
// bench_install_harness split DESTINATION
//     To split that time, the parts alone: the payload check (the check
//     InstallProduct begins with), the decoding of both archives (to
//     nowhere), and both archives planned and extracted into DESTINATION
//     (decoding and file work, without the log, the registry and the links).
//     In a prefix of its own: a tree made just before would slow the next.
// bench_install_harness run PROGRAM [ARGS...]
//     Once the system is idle, starts the program, waits for it and prints
//     its wall time: the same clock for a peer installer as for this harness.
// Times are seconds on lines "name=value"; the exit code is 0 on success.
#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/verify_archive.h"
#include "extraction/extract.h"
#include "install/install_product.h"
#include "installlog/install_log.h"
#include "window/app_module.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HRESULT DecodeArchiveResource(int id)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "lzh");
    if (resource == nullptr)
        return E_FAIL;
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    return VerifyArchive(bytes, SizeofResource(nullptr, resource));
}

HRESULT ExtractAlone(const std::string& directory)
{
    // Each level, as the installation makes them.
    for (size_t at = directory.find('\\', 3); at != std::string::npos; at = directory.find('\\', at + 1))
        CreateDirectoryA(directory.substr(0, at).c_str(), nullptr);
    if (!CreateDirectoryA(directory.c_str(), nullptr))
        return E_FAIL;
    // The product's archive is logged, as in the installation: its new
    // files are then written under their own names.
    FILE* stream = std::fopen((directory + "\\INSTALL.LOG").c_str(), "a");
    if (stream == nullptr)
        return E_FAIL;
    InstallLog log(stream);
    HRESULT result = S_OK;
    for (int id : {215, 216}) {
        ExtractContext context = {nullptr, CopyMode::Replace, true, id == 216 ? &log : nullptr};
        ExtractPlan plan;
        result = PlanArchiveResource(&context, id, directory.c_str(), &plan);
        context.plan = &plan;
        if (result == S_OK)
            result = ExtractArchiveResource(&context, id, directory.c_str());
        if (result != S_OK)
            break;
    }
    std::fclose(stream);
    return result;
}

int Install(const char* destination)
{
    CoInitialize(nullptr);
    g_appModule.Init(GetModuleHandleA(nullptr));
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    const HRESULT result = InstallProduct(nullptr, destination, 1);
    QueryPerformanceCounter(&t1);
    std::printf("install_seconds=%.3f\nresult=0x%08lx\n", Seconds(t0, t1), static_cast<unsigned long>(result));
    g_appModule.Term();
    CoUninitialize();
    return result == S_OK ? 0 : 1;
}

int Split(const char* destination)
{
    LARGE_INTEGER t0, t1, t2, t3;
    QueryPerformanceCounter(&t0);
    const HRESULT checked = VerifyArchiveResource(215) == S_OK ? VerifyArchiveResource(216) : E_FAIL;
    QueryPerformanceCounter(&t1);
    const HRESULT decoded = DecodeArchiveResource(215) == S_OK ? DecodeArchiveResource(216) : E_FAIL;
    QueryPerformanceCounter(&t2);
    const HRESULT extracted = ExtractAlone(destination);
    QueryPerformanceCounter(&t3);
    std::printf("check_seconds=%.3f\ndecode_seconds=%.3f\nextract_seconds=%.3f\n", Seconds(t0, t1), Seconds(t1, t2),
                Seconds(t2, t3));
    return checked == S_OK && decoded == S_OK && extracted == S_OK ? 0 : 1;
}

uint64_t Ticks(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Until the processes this prefix starts with its first program (its
// services, devices, the desktop) have settled: the CPUs 90 % idle over a
// tenth of a second, or five seconds at most. A peer and ours start the
// clock on the same quiet system, not in the middle of that start-up.
void WaitUntilIdle()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    for (int tries = 0; tries < 50; ++tries) {
        FILETIME idle0, idle1, kernel, user;
        LARGE_INTEGER t0, t1;
        GetSystemTimes(&idle0, &kernel, &user);
        QueryPerformanceCounter(&t0);
        Sleep(100);
        GetSystemTimes(&idle1, &kernel, &user);
        QueryPerformanceCounter(&t1);
        // Idle time is summed over the CPUs, in 100 ns units.
        const double idle = static_cast<double>(Ticks(idle1) - Ticks(idle0)) / 1e7;
        if (idle >= 0.9 * Seconds(t0, t1) * system.dwNumberOfProcessors)
            return;
    }
}

int Run(int argc, char** argv)
{
    LARGE_INTEGER settling, settled;
    QueryPerformanceCounter(&settling);
    WaitUntilIdle();
    QueryPerformanceCounter(&settled);
    std::printf("settle_seconds=%.3f\n", Seconds(settling, settled));
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i)
            line += ' ';
        line += std::strchr(argv[i], ' ') ? "\"" + std::string(argv[i]) + "\"" : argv[i];
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "cannot start %s: %lu\n", line.c_str(), GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&t1);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("wall_seconds=%.3f\nexit=%lu\n", Seconds(t0, t1), code);
    return code == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "install") == 0)
        return Install(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "split") == 0)
        return Split(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0)
        return Run(argc - 2, argv + 2);
    std::fputs("usage: bench_install_harness install|split DESTINATION | run PROGRAM [ARGS...]\n", stderr);
    return 2;
}
