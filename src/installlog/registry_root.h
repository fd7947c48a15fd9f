// The registry roots the log names, as the system's handles (Win32).
#pragma once

#include <windows.h>

#include "installlog/log_reader.h"

HKEY RootHandle(RegRoot root);
// The root a handle is, when the log can name it.
bool LogRootOf(HKEY handle, RegRoot* root);
