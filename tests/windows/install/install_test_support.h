// What the install tests share: the module set-up, files and their times,
// INSTALL.LOG read back, checks of everything a log names, and snapshots of
// drive C: and the registry.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dialog_watcher.h"
#include "file_helpers.h"
#include "ground/product_names.h"
#include "installed_check.h"
#include "installed_names.h"
#include "registry_helpers.h"

// COM and the module record for the whole test program, the way start-up
// sets them up.
void RegisterInstallEnvironment();

// The folders an installation uses, the payload as built, the log it must
// write and the check of a complete installation: installed_check.h.

// Files (PathExists, IsDirectory and shell links: file_helpers.h).
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& data);
void MakeDirectories(const std::string& path);
// Times as 100 ns units since 1601; 0 when the file cannot be opened.
struct FileTimes {
    unsigned long long creation = 0, lastAccess = 0, lastWrite = 0;
};
FileTimes GetTimes(const std::string& path);
void SetLastWrite(const std::string& path, unsigned long long time);
// INSTALL.LOG as read from disk: false (with a gtest failure) when a line
// does not end with CR LF or a bare CR or LF stands inside a line.
bool ReadLog(const std::string& path, std::vector<std::string>* lines);

// Joined as text for readable failure output.
std::string JoinLines(const std::vector<std::string>& lines);

// Snapshot of the machine: "F <path>" entries for every file and directory
// under C:\ (with size and last-write time), "K <root>\<key>" for every key
// and "V <root>\<key>\\<name>" for every value (type and data) under
// HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_CURRENT_USER.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot();
// Entries added, removed or changed, as "+ entry", "- entry", "~ entry",
// minus those whose name starts with one of the ignored prefixes.
std::vector<std::string> Difference(const Snapshot& before, const Snapshot& after,
                                    const std::vector<std::string>& ignoredPrefixes);

// Runs the stored UninstallString with " /S" and waits until the uninstaller,
// its helper, setdown.exe and destination are gone (a gtest failure if not).
void Uninstall(const std::string& destination);
// Whether the file, directory or key that a log line names exists.
bool LogEntryExists(const std::string& line);
// Nothing that the log lines name (files, directories, keys) may remain.
void ExpectLogEntriesGone(const std::vector<std::string>& lines);
