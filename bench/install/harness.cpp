// bench_install_harness install DESTINATION
//     Runs the install procedure as the ready page does (InstallProduct with
//     the association), on the archives linked into this program, and prints
//     its time and, before it, the time of the payload check alone (one
//     decoding pass over archives 215 and 216 without writing).
// bench_install_harness run PROGRAM [ARGS...]
//     Starts the program, waits for it and prints its wall time: the same
//     clock for a peer installer as for this harness.
// Times are seconds on lines "name=value"; the exit code is 0 on success.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "archive/extract.h"
#include "setup/app_module.h"
#include "setup/install_product.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Install(const char* destination)
{
    CoInitialize(nullptr);
    g_appModule.Init(GetModuleHandleA(nullptr));
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    const HRESULT verified = VerifyArchiveResource(215) == S_OK ? VerifyArchiveResource(216) : E_FAIL;
    QueryPerformanceCounter(&t1);
    const HRESULT result = InstallProduct(nullptr, destination, 1);
    QueryPerformanceCounter(&t2);
    std::printf("check_seconds=%.3f\ninstall_seconds=%.3f\nresult=0x%08lx\n", Seconds(t0, t1), Seconds(t1, t2),
                static_cast<unsigned long>(result));
    g_appModule.Term();
    CoUninitialize();
    return verified == S_OK && result == S_OK ? 0 : 1;
}

int Run(int argc, char** argv)
{
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
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0)
        return Run(argc - 2, argv + 2);
    std::fputs("usage: bench_install_harness install DESTINATION | run PROGRAM [ARGS...]\n", stderr);
    return 2;
}
