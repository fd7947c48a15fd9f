// One check of an installation, for the install, payload, stopped-run and
// end-to-end tests: everything a complete installation leaves (files with
// the payload's bytes and times, the Start-menu folder and shortcuts in the
// folders of the family the prefix reports, the registry values, the drawing
// class) and the log it writes, and nothing of it after an uninstallation.
// Names as installed_names.h spells them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The Start-menu programs and desktop folders an installation uses: per
// user on the 9x family, all users on NT; with other, the other family's,
// where nothing may appear.
std::string ProgramsFolder(bool other = false);
std::string DesktopFolder(bool other = false);
std::string StartMenuFolder();    // ProgramsFolder()\installed::kMenuFolder
std::string StartMenuShortcut();  // ...\installed::kShortcutFile
std::string DesktopShortcut();    // DesktopFolder()\installed::kShortcutFile

// The payload exactly as the build put it into archives 215 and 216.
std::string PayloadFile(const char* name);  // setdown.exe, ORVIK.exe, ORVIK.DAT
unsigned long long PayloadTime();             // the members' archived time
// Whether the file holds exactly that payload file's bytes.
testing::AssertionResult SameAsPayload(const std::string& path, const char* name);

// The log an installation must write. systemKeysNew: App Paths and the
// product key did not exist before; classKeysNew: none of the drawing-class
// keys existed (only matters with associate).
struct LogExpectation {
    std::string destination;  // without trailing separator
    bool associate = true;
    bool systemKeysNew = true;
    bool classKeysNew = true;
};
std::vector<std::string> ExpectedLog(const LogExpectation& expectation);
// The 27 drawing-class keys under HKEY_CLASSES_ROOT, in the order written.
std::vector<std::string> ClassKeys();

// Checks that every file, directory, shortcut, key and value of a complete
// installation into destination (as given to the installation) is there
// with the right content, and nothing in the other family's folders or per
// user; with associate the drawing class and ".kdw", without it none of
// their keys.
void ExpectInstalled(const std::string& destination, bool associate);
// Checks that none of the installation's files, folders, shortcuts and keys
// is left.
void ExpectNothingInstalled(const std::string& destination);
