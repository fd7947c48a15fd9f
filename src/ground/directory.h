// Directory creation by the platform: CreateDirectoryA on Windows. On failure
// the last-error value (ground/system_error.h) says why; 3 is a missing
// parent and 183 an existing entry on every platform.
#pragma once

bool CreateSystemDirectory(const char* path);
// What is at path now: nothing, a file (or anything but a directory), or a
// directory.
enum class SystemEntry { Missing, File, Directory };
SystemEntry FindSystemEntry(const char* path);
