// Builds what earlier installations leave behind (real folders, shell links
// and registry keys in the test's own Wine prefix) and looks at it after.
#pragma once

#include <windows.h>

#include <string>

#include "file_helpers.h"
#include "registry_helpers.h"

extern const char* const kTestProductKey;  // "Software\Velmar\Orvik"

std::string FolderPath(int csidl);
// The Start-menu and desktop folders the program uses on the family the
// prefix reports (per-user on the 9x family, all-users on NT), and the
// other family's Start-menu folder, which must stay untouched.
int ProgramsId();
int DesktopId();
int OtherProgramsId();
// "ブレンナビューア for Windows Ver" + version
std::string ProgramFolderName(const char* version);
// The program folder of a version in ProgramsId().
std::string ProgramFolder(const char* version);
std::string VersionKey(const char* version);
std::string UninstallKey(const char* version);
// On DesktopId(): the unversioned shortcut and the versioned one.
std::string PlainDesktopShortcut();
std::string VersionDesktopShortcut(const char* version);

void MakeDirectory(const std::string& path);
void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

// Everything one version leaves that the removal deals with: the Start-menu
// folder (two shortcuts, a subfolder with a shortcut, a read-only, a hidden
// and a system file), the version key with values, the uninstall entry, the
// versioned desktop shortcut, and the unversioned one.
void InstallVersion(const char* version);
// Each piece that InstallVersion makes (except the unversioned shortcut),
// checked one by one.
void ExpectVersionPresent(const char* version);
void ExpectVersionGone(const char* version);

// Snapshot of the places the removal could touch: every path under the
// special folders of both kinds, and every key under Velmar and Uninstall.
std::string Snapshot();
