// Files, file times and shell links as the tests lay them out and check them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// A file's bytes; "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// False when the file cannot be written whole.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// A FILETIME as one count of 100 ns units since 1601, and back.
uint64_t FromFileTime(const FILETIME& time);
FILETIME ToFileTime(uint64_t time);

// Saves a shell link to target at path (initialising COM on this thread if
// needed); a link that cannot be saved fails the test.
void MakeShortcut(const std::string& path, const std::string& target);
// A shell link's target and working directory as saved; false when it
// cannot be read. COM must be initialised on this thread.
bool ReadShortcut(const std::string& path, std::string* target, std::string* workingDirectory);
