// App Paths entry, uninstall entry and the product's own keys.
#pragma once

#include "ground/result.h"

class InstallLog;

// HKLM App Paths\ORVIK.exe: default = executablePath, "Path" = destination.
HRESULT RegisterAppPath(const char* destination, const char* executablePath, InstallLog* log);

// HKLM Uninstall\Orvik 6.0: "DisplayName" and "UninstallString".
HRESULT RegisterUninstall(const char* uninstallCommand, InstallLog* log);

// HKLM Software\Velmar\Orvik and its "6.0" key, the drawing server when
// associate is nonzero, then the per-user key line in the log.
HRESULT RegisterApplication(const char* destination, unsigned char associate, InstallLog* log);
