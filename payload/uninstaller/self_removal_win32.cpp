#include "self_removal_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>

const char kSelfRemovalOption[] = "/REMOVE";

namespace {

// How long the copy keeps trying once the uninstaller has ended (virus
// scanners and the like may hold the file a moment longer).
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeleteRetryMs = 100;

}  // namespace

bool StartSelfRemoval(const std::string& executable, const std::string& directory)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(temp), temp);
    if (length == 0 || length >= sizeof(temp))
        return false;
    char copy[MAX_PATH];
    if (std::snprintf(copy, sizeof(copy), "%s~setdown%lu.exe", temp, GetCurrentProcessId()) >= (int)sizeof(copy))
        return false;
    if (!CopyFileA(executable.c_str(), copy, FALSE))
        return false;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    // The copy inherits this handle; when the copy ends, the last handle
    // closes and the system deletes the copy.
    HANDLE self = CreateFileA(copy, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                              OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (self == INVALID_HANDLE_VALUE) {
        DeleteFileA(copy);
        return false;
    }
    HANDLE parent = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &parent, SYNCHRONIZE, TRUE,
                         0)) {
        CloseHandle(self);
        return false;
    }
    std::string commandLine = std::string("\"") + copy + "\" " + kSelfRemovalOption + " " +
                              std::to_string(reinterpret_cast<uintptr_t>(parent)) + " \"" + executable + "\" \"" +
                              directory + "\"";
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // The copy works from the temporary directory, so that no process holds
    // the installation directory as its current directory.
    BOOL started = CreateProcessA(copy, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &process);
    CloseHandle(parent);
    CloseHandle(self);
    if (!started)
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    SetCurrentDirectoryA(temp);
    return true;
}

int RunSelfRemoval(const std::vector<std::string>& args)
{
    if (args.size() != 3)
        return 2;
    HANDLE parent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(args[0].c_str(), nullptr, 10)));
    // The uninstaller may still show its last message; however long the user
    // takes, its file is free only once it has ended.
    WaitForSingleObject(parent, INFINITE);
    CloseHandle(parent);
    const std::string& executable = args[1];
    const std::string& directory = args[2];
    bool deleted = false;
    for (int attempt = 0; attempt < kDeleteAttempts && !deleted; ++attempt) {
        if (DeleteFileA(executable.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
            deleted = true;
        else
            Sleep(kDeleteRetryMs);
    }
    RemoveDirectoryA(directory.c_str());
    return deleted ? 0 : 1;
}
