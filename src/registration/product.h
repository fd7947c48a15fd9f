// The product's fixed names, as they appear in the registry, the Start menu
// and the log.
#pragma once

constexpr const char* kProductName = "ブレンナビューア for Windows";
constexpr const char* kProductVersion = "6.0";
constexpr const char* kExecutableName = "ORVIK.exe";
constexpr const char* kProductKeyPath = "Software\\Velmar\\Orvik";

// Keys under HKEY_LOCAL_MACHINE that the installation writes.
constexpr const char* kVendorKeyPath = "Software\\Velmar";
constexpr const char* kAppPathKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe";
constexpr const char* kUninstallKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0";

// The drawing class the viewer serves, its key under HKEY_CLASSES_ROOT and
// the ProgIDs that name it. A macro too, for keys spelt out at compile time.
#define ORVIK_DRAWING_CLSID "{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}"
constexpr const char* kDrawingClassId = ORVIK_DRAWING_CLSID;
constexpr const char* kDrawingClassKeyPath = "CLSID\\" ORVIK_DRAWING_CLSID;
constexpr const char* kDrawingProgId = "Brenna.Drawing";
constexpr const char* kDrawingVersionProgId = "Brenna.Drawing.4";
