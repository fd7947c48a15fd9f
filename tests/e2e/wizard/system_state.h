// What the scenarios set up in the prefix before a run and read back after
// it, besides the shared helpers (registry values, file bytes, the
// installation's folders and its check): files and times, the install log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "file_helpers.h"
#include "registry_helpers.h"

bool FilePresent(const std::string& path);
bool DirectoryPresent(const std::string& path);
// Creates a directory with its parents.
bool MakeDirectories(const std::string& path);
FILETIME LastWriteTime(const std::string& path);
bool SetLastWriteTime(const std::string& path, const FILETIME& time);
FILETIME MakeFileTime(int year, int month, int day);
DWORD FileSize(const std::string& path);

// The copy-method dialog's form of a time: local short date, blank, time
// without seconds.
std::string DialogTime(const FILETIME& time);

// Lines of INSTALL.LOG without their line ends.
std::vector<std::string> LogLines(const std::string& path);
// The log of a first installation into directory (with trailing separator)
// with or without the association.
std::vector<std::string> ExpectedFirstLog(const std::string& directory, bool associate);
