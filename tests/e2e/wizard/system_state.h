// What the scenarios set up in the prefix before a run and read back after
// it: registry values, files, special folders, the install log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registration/product_names.h"

bool SetRegString(HKEY root, const std::string& key, const char* name, const std::string& value);
// The value's text; "<missing>" when the key or value is not there.
std::string RegString(HKEY root, const std::string& key, const char* name);
bool KeyPresent(HKEY root, const std::string& key);
// Deletes a key with its subkeys.
void DeleteKeyTree(HKEY root, const std::string& key);

bool FilePresent(const std::string& path);
bool DirectoryPresent(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
// Creates a directory with its parents.
bool MakeDirectories(const std::string& path);
FILETIME LastWriteTime(const std::string& path);
bool SetLastWriteTime(const std::string& path, const FILETIME& time);
FILETIME MakeFileTime(int year, int month, int day);
DWORD FileSize(const std::string& path);

// A special folder's path (CSIDL_COMMON_PROGRAMS, ...).
std::string SpecialFolder(int csidl);
// The Start-menu and desktop folders of the family the prefix reports
// (per-user on the 9x family, all-users on NT); with other, the other
// family's, where nothing may appear.
int ProgramsCsidl(bool other = false);
int DesktopCsidl(bool other = false);
// The copy-method dialog's form of a time: local short date, blank, time
// without seconds.
std::string DialogTime(const FILETIME& time);

// Lines of INSTALL.LOG without their line ends.
std::vector<std::string> LogLines(const std::string& path);
// The log of a first installation into directory (with trailing separator)
// with or without the association.
std::vector<std::string> ExpectedFirstLog(const std::string& directory, bool associate);
