// The system side of the uninstaller: where this installation's places are,
// what the registry holds, and the removal itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "removal_plan.h"

// A path in each form the system knows: as given, long and short.
std::vector<std::string> PathForms(const std::string& path);

// The installation directory (a root keeps its separator), the product's
// Start-menu folder and desktop shortcut of this Windows family.
InstallationPlaces FindInstallationPlaces(const std::string& directory);

// The real file system and registry.
SystemView RealSystem();

struct RemovalFailure {
    std::string item;
    DWORD error;
};

struct RemovalOutcome {
    std::vector<RemovalFailure> failures;  // items of the installation that stayed
    std::vector<std::string> keptDirs;     // listed directories holding files of their own
};

// Runs the plan; an item that cannot be removed does not stop the others,
// but keeps the finishing keys.
RemovalOutcome ExecuteRemoval(const RemovalPlan& plan);

DWORD DeleteKeyTree(HKEY root, const char* path);
