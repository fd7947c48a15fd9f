// The system side of the uninstaller: what the registry says about the
// product, and the removal itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "removal_plan.h"

// The installation directory in each form a registered value may use:
// as given, long and short.
std::vector<std::string> DirectoryForms(const std::string& directory);

// The product's own registrations that the registry holds now and that
// point into the installation directory, whether the log lists them or not.
std::vector<RegKeyName> FindOwnRegistrations(const std::vector<std::string>& directoryForms);

struct RemovalFailure {
    std::string item;
    DWORD error;
};

// Runs the plan; an item that cannot be removed does not stop the others.
std::vector<RemovalFailure> ExecuteRemoval(const RemovalPlan& plan);

DWORD DeleteKeyTree(HKEY root, const char* path);
