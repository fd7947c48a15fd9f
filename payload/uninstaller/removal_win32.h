// The system side of the uninstaller: where this installation's places are,
// what the file system and registry hold, and the removal itself.
#pragma once

#include <windows.h>

#include "installlog/installation_places_win32.h"
#include "removal_plan.h"

struct RemovalFailure {
    const char* item;
    DWORD error;
};

struct RemovalOutcome {
    RemovalFailure* failures = nullptr;  // items of the installation that stayed
    size_t failureCount = 0;
    size_t failureCapacity = 0;
    TextList keptDirs;  // listed directories holding files of their own
    TextList links;     // items behind a junction or symbolic link: left alone
    TextPool texts;
    bool failed = false;  // memory ran out while recording
};

void AddFailure(RemovalOutcome* outcome, const char* item, DWORD error);
void FreeOutcome(RemovalOutcome* outcome);

bool Gone(DWORD error);

// Whether path, or a directory above it up to the place it lies in, is a
// junction or symbolic link: deleting there would reach what it points to.
bool LinkOnTheWay(const char* path, const InstallationPlaces& places);

// DeleteFileA, clearing a read-only attribute the file may carry.
DWORD DeleteListedFile(const char* path);

// Runs the plan's files, directories and keys (not the finishing keys); an
// item that cannot be removed does not stop the others.
void ExecuteRemoval(const RemovalPlan& plan, const InstallationPlaces& places, RemovalOutcome* outcome);

// One of the product's keys: with its subkeys, except ".kdw", which loses
// only the default value the setup wrote and goes when nothing else is left.
DWORD RemoveOwnKey(const RegKeyName& key);
DWORD DeleteKeyTree(HKEY root, const char* path);

// Whether both paths name the same existing file (volume and file index).
bool SameFile(const char* a, const char* b);
