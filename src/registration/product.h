// The product's fixed names, as they appear in the registry, the Start menu
// and the log.
#pragma once

constexpr const char* kProductName = "ブレンナビューア for Windows";
constexpr const char* kProductVersion = "6.0";
constexpr const char* kExecutableName = "ORVIK.exe";
constexpr const char* kProductKeyPath = "Software\\Velmar\\Orvik";
