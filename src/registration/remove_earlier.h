// Removal of what earlier installations left in the Start menu, on the
// desktop and in the registry, before a new installation writes anything.
#pragma once

#include <windows.h>

// RemoveVersion for every version of kProductVersions in table order (the
// last is the one this setup installs, so a reinstall clears its own earlier
// registrations too); stops at the first failure. This version's uninstall
// entry stays when its command is keptUninstallCommand (the one this
// installation stores): it already removes what lies in this installation's
// directory.
HRESULT RemoveEarlierVersions(HWND owner, const char* productKey, const char* keptUninstallCommand = nullptr);
// Start-menu folder, version key under productKey, uninstall entry and the
// two desktop shortcuts of one version. What is absent counts as removed.
HRESULT RemoveVersion(HWND owner, const char* productKey, const char* version,
                      const char* keptUninstallCommand = nullptr);
// Deletes directory path with everything beneath it, depth first.
HRESULT DeleteTree(const char* path);
// Deletes folder\name.lnk.
HRESULT DeleteShortcut(const char* folder, const char* name);
