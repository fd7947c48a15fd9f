// Removing the uninstaller's own executable and the installation directory
// once the uninstaller has ended.
#pragma once

// Starts a copy of this program that waits for this process to end, then,
// if the log has gone by then (the uninstall finished), deletes executable
// and removes directory (empty: none) if it is empty. The copy is made
// under a fresh random name that no one else can have made, and is held
// without write or delete sharing until it runs; on the NT family it
// vanishes when it ends, on the 9x family at the next restart. False when
// the copy cannot be started.
bool StartSelfRemoval(const char* executable, const char* log, const char* directory, bool silent);

// Runs in the copy: the arguments after the option.
int RunSelfRemoval(const char* const* args, int count);

// Deletes path at the next restart: MoveFileExA on the NT family, WININIT.INI
// on the 9x family, which has no MoveFileExA.
bool RemoveAtRestart(const char* path);

// The option that starts the copy's work.
extern const char kSelfRemovalOption[];
