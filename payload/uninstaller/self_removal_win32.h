// Removing the uninstaller's own executable and the installation directory
// once the uninstaller has ended, leaving no file and no process behind.
#pragma once

#include <string>
#include <vector>

// Starts a copy of this program from the temporary directory, opened with
// delete-on-close and inherited by that copy, so the copy vanishes when it
// ends. The copy waits for this process to end, then deletes executable and
// removes directory if empty. False when the copy cannot be started.
bool StartSelfRemoval(const std::string& executable, const std::string& directory);

// Runs in the copy: arguments after the /REMOVE option.
int RunSelfRemoval(const std::vector<std::string>& args);

// The option that starts the copy's work.
extern const char kSelfRemovalOption[];
