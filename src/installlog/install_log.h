// INSTALL.LOG: everything the installation creates, in order, under section
// lines. The uninstaller reads it; the format is a contract with it.
#pragma once

#include <cstdio>

#include "ground/result.h"

enum class LogEntryKind : int { None = 0, File = 1, Dir = 2, RegKey = 3 };

class InstallLog {
public:
    // Bound to a stream opened (text mode) and closed by the caller.
    explicit InstallLog(FILE* stream) : stream_(stream) {}
    // A line that does not reach the file fails the caller's step: the
    // stream's error, else E_FAIL.
    HRESULT Add(LogEntryKind kind, const char* text);

private:
    FILE* stream_;
    LogEntryKind currentKind_ = LogEntryKind::None;
};
