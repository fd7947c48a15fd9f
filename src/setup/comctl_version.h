// The common-controls version the wizard needs, and the start-up check.
#pragma once

#include <windows.h>

// Lowest common-controls version the wizard runs with: 5.80.
constexpr DWORD kRequiredCommonControls = 0x00050050;

// The version DllGetVersion of library reports, packed: major in the high
// 16 bits, minor in the low 16 bits; 0 when it cannot be read.
DWORD GetCommonControlsVersion(const char* library);

// True when library is recent enough for the wizard; otherwise tells the
// user how to update the system (an information box) and returns false.
bool CheckCommonControls(const char* library);
