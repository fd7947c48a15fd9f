// The installation as the system shows it: where its places are, and the
// file system and registry seen through SystemView. Used by the uninstaller,
// and by the setup to judge the lines of an earlier INSTALL.LOG by the same
// rules.
#pragma once

#include <windows.h>

#include "installlog/registry_root.h"
#include "installlog/removal_scope.h"

// A path in each form the system knows: as given, long and short.
void RealPathForms(const char* path, PathForms* forms);

// The installation directory (a root keeps its separator), the product's
// Start-menu folder and desktop shortcut of this Windows family.
void FindInstallationPlaces(const char* directory, InstallationPlaces* places);

// The real file system and registry.
SystemView RealSystem();
