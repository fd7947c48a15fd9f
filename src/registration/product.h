// The product's fixed names, as they appear in the registry, the Start menu
// and the log.
#pragma once

constexpr const char* kProductName = "ブレンナビューア for Windows";
constexpr const char* kProductVersion = "6.0";
constexpr const char* kExecutableName = "ORVIK.exe";
constexpr const char* kProductKeyPath = "Software\\Velmar\\Orvik";
// The data file the product archive carries beside the viewer.
constexpr const char* kDataFileName = "ORVIK.DAT";
// Placed by the setup beside the viewer, never listed in the log.
constexpr const char* kUninstallerFileName = "setdown.exe";
constexpr const char* kLogFileName = "INSTALL.LOG";
// The Start-menu folder ("%s Ver%s" of name and version) and the shortcut
// file in it and on the desktop.
constexpr const char* kMenuFolderName = "ブレンナビューア for Windows Ver6.0";
constexpr const char* kShortcutFileName = "ブレンナビューア for Windows.lnk";
// Every version whose keys may sit below the product key.
constexpr const char* const kProductVersions[] = {"3.0", "3.1", "4.0", "5.0", "6.0"};

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
