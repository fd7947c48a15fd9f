// Names the system opens as devices instead of files, in any directory and
// with any extension: the destination rules, the uninstaller's scope and
// lzhpack's check of a product folder all go by this one set.
#pragma once

#include <cstddef>

// Whether the component name[0, length) (no separators) names a device:
// its part before the first dot, trailing blanks dropped, is one of CON,
// PRN, AUX, NUL, CONIN$, CONOUT$, CLOCK$, COM1-COM9 or LPT1-LPT9, in any
// letter case.
bool IsDeviceName(const char* name, size_t length);
