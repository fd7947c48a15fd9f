// Reading INSTALL.LOG: the one grammar of the log, for the uninstaller and
// for the setup that merges an earlier log. Every line is checked before
// anything is deleted, so a damaged or foreign log never leads to a partial
// removal, and the setup writes back nothing the uninstaller would refuse.
#pragma once

#include <cstddef>

#include "installlog/log_text.h"

enum class RegRoot { LocalMachine, ClassesRoot, CurrentUser };

struct RegKeyName {
    RegRoot root;
    const char* path;  // below the root, never empty
};

struct KeyList {
    RegKeyName* items = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    bool failed = false;
};

// The log's name of a root ("HKEY_LOCAL_MACHINE"), before the backslash.
const char* RootKeyName(RegRoot root);

void AppendKey(KeyList* list, RegKeyName key);
void FreeKeys(KeyList* list);

bool SameKeyName(const RegKeyName& a, const RegKeyName& b);
// "HKEY_LOCAL_MACHINE\..." and so on, as the log writes it; false when it
// does not fit.
bool FormatKeyName(const RegKeyName& key, char* out, size_t size);

// Lines of the log; they point into the bytes given to the reader.
struct InstallLogContents {
    TextList files;
    TextList dirs;
    KeyList keys;
};

void FreeLogContents(InstallLogContents* contents);

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
    TooLong,
    OutOfMemory,
};

struct LogError {
    LogProblem problem = LogProblem::None;
    int line = 0;                // 1-based; 0 when the problem is the whole file
    const char* text = nullptr;  // the offending line
};

constexpr size_t kMaxLogSize = 4 * 1024 * 1024;
// What Windows can hold: the setup writes nothing longer.
constexpr size_t kMaxPathBytes = 259;
constexpr size_t kMaxComponentBytes = 255;

enum class LogSection { None, Files, Dirs, RegKeys };
// The line that opens a section ("[Files]"), or "" for None.
const char* SectionLine(LogSection section);

// One non-empty line of the log, read in place: text is the line without its
// end, terminated where the end was.
struct LogLine {
    bool opensSection;   // a section line
    LogSection section;  // the one it opens, or the one the entry is in
    char* text;
    size_t length;
    RegKeyName key;      // the key an entry of [RegKeys] names
};

// Walks bytes[0, size) line by line.
struct LogCursor {
    LogCursor(char* bytes, size_t size) : bytes(bytes), size(size) {}
    char* bytes;
    size_t size;
    size_t next = 0;
    int line = 0;
    LogSection section = LogSection::None;
};

// The next line: true with it in line; false at the end (error->problem
// None) or at the first bad line (error says which). A last line without
// its end is not a line.
bool NextLogLine(LogCursor* cursor, LogLine* line, LogError* error);

// Parses size bytes in place (bytes[size] must be writable): line ends
// become terminators; a last line without its end is left out. On the first
// bad line it reports it and returns false.
bool ParseInstallLog(char* bytes, size_t size, InstallLogContents* contents, LogError* error);
// Whether bytes[0, size) reads as a log, in place, keeping nothing: None, or
// the problem of its first bad line. lastFile, when given: the log's last
// entry when it is one of [Files], else nullptr. A new file is listed just
// before it is written, so that is the one a run stopped dead may have left
// half-written; a finished run's log ends with its keys.
LogProblem CheckInstallLog(char* bytes, size_t size, const char** lastFile = nullptr);

// Drive-letter or UNC path with at least one component below its root, no
// "." or ".." component, no empty component, no character that is not one
// of the code page (a lead byte needs a trail byte 40-7E or 80-FC), and
// within the lengths above.
bool IsAbsoluteFilePath(const char* path);
// One key name of the log; false for anything else, including a bare root.
bool ParseKeyName(const char* text, RegKeyName* key, LogProblem* problem);
