#include "payload_test_support.h"

#include <tlhelp32.h>

std::string BuildTreePath(const char* relative)
{
    return std::string("T:\\") + relative;
}

Process StartProgram(const std::string& commandLine)
{
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    Process process;
    if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process.handle = info.hProcess;
        process.id = info.dwProcessId;
    }
    return process;
}

DWORD WaitAndClose(Process* process, DWORD timeoutMs)
{
    if (!process->handle)
        return static_cast<DWORD>(-1);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process->handle, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process->handle, &code);
    else
        TerminateProcess(process->handle, 99);
    CloseHandle(process->handle);
    process->handle = nullptr;
    return code;
}

HWND WaitForWindow(DWORD processId, const char* className, DWORD timeoutMs)
{
    return WaitForTopLevelWindow(
        processId, [className](HWND window) { return IsWindowVisible(window) && ClassName(window) == className; },
        timeoutMs);
}

bool ProcessRunning(const char* imageNamePrefix)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    std::string wanted = imageNamePrefix;
    CharLowerA(&wanted[0]);
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        std::string name = entry.szExeFile;
        CharLowerA(&name[0]);
        found = name.compare(0, wanted.size(), wanted) == 0;
    }
    CloseHandle(snapshot);
    return found;
}
