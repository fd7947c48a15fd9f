// Directory creation that lists each directory it makes in INSTALL.LOG, so
// that the uninstaller removes exactly those.
#pragma once

#include "ground/result.h"

class InstallLog;

// Makes the directory path; its parent must be there. With a log, the
// directory is listed before it is made. An existing entry counts as done.
HRESULT CreateDirectoryLogged(const char* path, InstallLog* log);
// Makes every missing directory above the file or directory path, the
// outermost first.
HRESULT CreateParentDirectories(const char* path, InstallLog* log);
