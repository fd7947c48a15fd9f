// Screenshots for the GUI tests: what the screen shows, as pixels or saved
// as a PNG file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ScreenImage
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // R, G, B of each pixel, top row first
};

// The pixels of the screen area rect; false when it is empty or cannot be
// read.
bool CaptureScreenArea(const RECT& rect, ScreenImage& image);

// Saves the screen area rect as a PNG file at path; false when nothing
// could be written.
bool SaveScreenArea(const RECT& rect, const char* path);

// The folder for screenshots, created when missing: %ORVIK_SCREENS%
// (scripts/wine-run sets one per build and Windows version), else
// T:\screens. Ends without a separator.
std::string ScreensFolder();
