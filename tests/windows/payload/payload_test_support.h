// Helpers shared by the payload tests: the built programs in the build
// tree (drive T:), processes, windows of another process (files:
// file_helpers.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "file_helpers.h"
#include "window_driver.h"

// A program of the build tree by its path relative to the tree's root.
std::string BuildTreePath(const char* relative);

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};
Process StartProgram(const std::string& commandLine);
// Exit code, or STILL_ACTIVE when the wait timed out (then it is killed).
DWORD WaitAndClose(Process* process, DWORD timeoutMs = 30000);

// A visible top-level window of the process with the class, waiting for it
// (texts: window_driver.h).
HWND WaitForWindow(DWORD processId, const char* className, DWORD timeoutMs = 15000);

// Whether a process whose image name starts with the text runs (any case).
bool ProcessRunning(const char* imageNamePrefix);

