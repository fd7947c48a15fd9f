// Helpers shared by the payload tests: the built programs in the build
// tree (drive T:), processes, windows of another process, small files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A program of the build tree by its path relative to the tree's root.
std::string BuildTreePath(const char* relative);

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};
Process StartProgram(const std::string& commandLine);
// Exit code, or STILL_ACTIVE when the wait timed out (then it is killed).
DWORD WaitAndClose(Process* process, DWORD timeoutMs = 30000);

// A top-level window of the process with the class, waiting for it.
HWND WaitForWindow(DWORD processId, const char* className, DWORD timeoutMs = 15000);
std::string WindowText(HWND window);

// Whether a process whose image name starts with the text runs (any case).
bool ProcessRunning(const char* imageNamePrefix);

bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
