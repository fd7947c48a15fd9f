// Screenshots for the GUI tests: what the screen shows, saved as a BMP.
#pragma once

#include <windows.h>

// Saves the screen area rect as a 24-bit BMP at path; false when nothing
// could be written.
bool SaveScreenArea(const RECT& rect, const char* path);
