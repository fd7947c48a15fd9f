// Centring of a window on its owner (or parent), kept inside the work area
// (or the parent's client area).
#pragma once

#include <windows.h>

// Centres window on reference; without one on its parent (child windows) or
// owner. A hidden or minimised reference counts as none for top-level
// windows, which are then centred on the work area.
void CenterOnOwner(HWND window, HWND reference);
