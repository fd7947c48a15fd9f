// Reading INSTALL.LOG: every line is checked before anything is deleted, so
// a damaged or foreign log never leads to a partial removal.
#pragma once

#include <string>
#include <vector>

enum class RegRoot { LocalMachine, ClassesRoot, CurrentUser };

struct RegKeyName {
    RegRoot root;
    std::string path;  // below the root, never empty
};

bool SameKeyName(const RegKeyName& a, const RegKeyName& b);
// "HKEY_LOCAL_MACHINE\..." and so on, as the log writes it.
std::string FormatKeyName(const RegKeyName& key);

struct InstallLogContents {
    std::vector<std::string> files;
    std::vector<std::string> dirs;
    std::vector<RegKeyName> keys;
};

enum class LogProblem {
    None,
    TooLarge,
    NulByte,
    UnknownSection,
    EntryBeforeSection,
    NotAbsolutePath,
    UnknownRootKey,
    RootKey,
    MalformedKey,
};

struct LogError {
    LogProblem problem = LogProblem::None;
    int line = 0;        // 1-based; 0 when the problem is the whole file
    std::string text;    // the offending line
};

constexpr size_t kMaxLogSize = 4 * 1024 * 1024;

// Parses the whole log; on the first bad line it reports it and returns false.
bool ParseInstallLog(const std::string& bytes, InstallLogContents* contents, LogError* error);

// Drive-letter or UNC path with at least one component below its root, no
// "." or ".." component, no empty component and no broken double-byte pair.
bool IsAbsoluteFilePath(const char* path);
// One key name of the log; false for anything else, including a bare root.
bool ParseKeyName(const char* text, RegKeyName* key, LogProblem* problem);
