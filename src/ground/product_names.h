// Every name of the product that the setup, the uninstaller and the tests
// share: the product and its versions, the files it installs, its registry
// keys, and the drawing class with its ProgIDs. This is the one place they are
// spelt; everything else builds on these.
//
// The macros exist for keys spelt out at compile time (tables of key paths);
// code uses the constants.
#pragma once

#define ORVIK_PRODUCT_NAME "ブレンナビューア for Windows"
#define ORVIK_PRODUCT_VERSION "6.0"
#define ORVIK_EXECUTABLE_NAME "ORVIK.exe"
#define ORVIK_PRODUCT_KEY "Software\\Velmar\\Orvik"
#define ORVIK_WINDOWS_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
#define ORVIK_UNINSTALL_ENTRY_PREFIX "Orvik "
#define ORVIK_DRAWING_CLSID "{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}"
#define ORVIK_DRAWING_CLASS_KEY "CLSID\\" ORVIK_DRAWING_CLSID
#define ORVIK_DRAWING_PROGID "Brenna.Drawing"
#define ORVIK_DRAWING_VERSION_PROGID "Brenna.Drawing.4"

// The product.
constexpr const char* kProductName = ORVIK_PRODUCT_NAME;
constexpr const char* kProductVersion = ORVIK_PRODUCT_VERSION;
// Every version whose registrations an installation clears, oldest first;
// the last is the one installed.
constexpr const char* const kProductVersions[] = {"3.0", "3.1", "4.0", "5.0", ORVIK_PRODUCT_VERSION};
// A version's Start-menu folder (and the uninstall entry's display name) is
// this prefix and the version; kMenuFolderName is this version's. The
// shortcut file lies in it and on the desktop.
#define ORVIK_MENU_FOLDER_PREFIX ORVIK_PRODUCT_NAME " Ver"
constexpr const char* kMenuFolderPrefix = ORVIK_MENU_FOLDER_PREFIX;
constexpr const char* kMenuFolderName = ORVIK_MENU_FOLDER_PREFIX ORVIK_PRODUCT_VERSION;
constexpr const char* kShortcutFileName = ORVIK_PRODUCT_NAME ".lnk";

// Files in the destination directory.
constexpr const char* kExecutableName = ORVIK_EXECUTABLE_NAME;
// The data file the product archive carries beside the viewer.
constexpr const char* kDataFileName = "ORVIK.DAT";
// Placed by the setup beside the viewer, never listed in the log.
constexpr const char* kUninstallerFileName = "setdown.exe";
constexpr const char* kLogFileName = "INSTALL.LOG";
// Proposed below the root of the Windows drive when nothing is installed.
constexpr const char* kDefaultDestinationTail = "Program Files\\Velmar\\Orvik\\";

// Keys under HKEY_LOCAL_MACHINE.
constexpr const char* kVendorKeyPath = "Software\\Velmar";
constexpr const char* kProductKeyPath = ORVIK_PRODUCT_KEY;
constexpr const char* kVersionKeyPath = ORVIK_PRODUCT_KEY "\\" ORVIK_PRODUCT_VERSION;
constexpr const char* kAppPathsKeyPath = ORVIK_WINDOWS_KEY "\\App Paths";
constexpr const char* kAppPathKeyPath = ORVIK_WINDOWS_KEY "\\App Paths\\" ORVIK_EXECUTABLE_NAME;
constexpr const char* kUninstallListKeyPath = ORVIK_WINDOWS_KEY "\\Uninstall";
// An uninstall entry is this prefix and a version.
constexpr const char* kUninstallEntryPrefix = ORVIK_UNINSTALL_ENTRY_PREFIX;
constexpr const char* kUninstallEntryName = ORVIK_UNINSTALL_ENTRY_PREFIX ORVIK_PRODUCT_VERSION;
constexpr const char* kUninstallKeyPath =
    ORVIK_WINDOWS_KEY "\\Uninstall\\" ORVIK_UNINSTALL_ENTRY_PREFIX ORVIK_PRODUCT_VERSION;
// The per-user key: the installation writes nothing there, the log names it
// for the uninstaller.
constexpr const char* kUserProductLogLine = "HKEY_CURRENT_USER\\" ORVIK_PRODUCT_KEY;

// Keys under HKEY_CLASSES_ROOT: the drawing files' extension, the drawing
// class the viewer serves and the ProgIDs that name it.
constexpr const char* kDrawingExtension = ".kdw";
constexpr const char* kDrawingClassId = ORVIK_DRAWING_CLSID;
constexpr const char* kDrawingClassKeyPath = ORVIK_DRAWING_CLASS_KEY;
constexpr const char* kDrawingServerKeyPath = ORVIK_DRAWING_CLASS_KEY "\\LocalServer32";
constexpr const char* kDrawingProgId = ORVIK_DRAWING_PROGID;
constexpr const char* kDrawingVersionProgId = ORVIK_DRAWING_VERSION_PROGID;
