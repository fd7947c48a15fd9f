// INSTALL.LOG: everything the installation creates, in order, under section
// lines. The uninstaller reads it; the format is a contract with it.
#pragma once

#include <cstdio>

#include "ground/result.h"

enum class LogEntryKind : int { None = 0, File = 1, Dir = 2, RegKey = 3 };

// Where the log ends, for taking back the lines added after it.
struct LogMark {
    long long size;  // negative when it could not be found
    LogEntryKind kind;
};

class InstallLog {
public:
    // Bound to a stream opened (text mode) and closed by the caller.
    explicit InstallLog(FILE* stream) : stream_(stream) {}
    // A line that does not reach the file fails the caller's step: the
    // stream's error, else E_FAIL.
    HRESULT Add(LogEntryKind kind, const char* text);
    LogMark Mark() const;
    // Takes back every line added since mark, section headers too: a file
    // listed before it was made, and then not made after all.
    HRESULT Rewind(const LogMark& mark);

private:
    FILE* stream_;
    LogEntryKind currentKind_ = LogEntryKind::None;
};
