// What an installation is expected to name: folders, shortcut files,
// registry keys and the drawing class with its values, spelt out here as
// the tests expect them rather than taken from the product's headers, so
// that a wrong name in the product fails a test.
#pragma once

namespace installed_names {

constexpr const char* kProductName = "ブレンナビューア for Windows";
// The Start-menu folder and the uninstall entry's display name.
constexpr const char* kMenuFolder = "ブレンナビューア for Windows Ver6.0";
// In the Start-menu folder and on the desktop.
constexpr const char* kShortcutFile = "ブレンナビューア for Windows.lnk";

// In the destination directory.
constexpr const char* kProgramFile = "ORVIK.exe";
constexpr const char* kDataFile = "ORVIK.DAT";
constexpr const char* kUninstallerFile = "setdown.exe";
constexpr const char* kLogFile = "INSTALL.LOG";
// Proposed below the Windows drive's root when nothing is installed.
constexpr const char* kDefaultDestinationTail = "Program Files\\Velmar\\Orvik\\";

// Under HKEY_LOCAL_MACHINE.
constexpr const char* kVendorKey = "Software\\Velmar";
constexpr const char* kProductKey = "Software\\Velmar\\Orvik";
constexpr const char* kVersionKey = "Software\\Velmar\\Orvik\\6.0";
constexpr const char* kAppPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe";
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0";

// Under HKEY_CLASSES_ROOT.
constexpr const char* kExtension = ".kdw";
constexpr const char* kClassId = "{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}";
constexpr const char* kClassKey = "CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}";
constexpr const char* kServerKey = "CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\LocalServer32";
constexpr const char* kProgId = "Brenna.Drawing";
constexpr const char* kVersionProgId = "Brenna.Drawing.4";
constexpr const char* kOpenCommandKey = "Brenna.Drawing.4\\Shell\\Open\\Command";

// The drawing class's keys in the order written, each with its default
// value: "" for a key without value, "%S", "%I" and "%O" for the server
// path, the icon location and the open command.
struct ClassRow {
    const char* key;
    const char* value;
};
constexpr ClassRow kClassRows[27] = {
    {".kdw", "Brenna.Drawing.4"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}", "ブレンナ 図面"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\AuxUserType\\2", "ブレンナ 図面"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\AuxUserType\\3", "ブレンナ 6.0"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\DataFormats\\DefaultFile", "ORVDOC"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\DataFormats\\GetSet", ""},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\DataFormats\\GetSet\\0", "3,1,32,1"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\DataFormats\\GetSet\\1", "3,4,32,1"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\DefaultIcon", "%I"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\InprocHandler", "OLE2.DLL"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\InprocHandler32", "OLE32.DLL"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\Insertable", ""},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\LocalServer", "%S"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\LocalServer32", "%S"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\MiscStatus", "0"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\ProgID", "Brenna.Drawing.4"},
    {"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\Verb\\0", "開く(&O),0,2"},
    {"Brenna.Drawing", "ブレンナ 図面"},
    {"Brenna.Drawing\\CLSID", "{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}"},
    {"Brenna.Drawing\\CurVer", "Brenna.Drawing.4"},
    {"Brenna.Drawing.4", "ブレンナ 図面"},
    {"Brenna.Drawing.4\\CLSID", "{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}"},
    {"Brenna.Drawing.4\\DefaultIcon", "%I"},
    {"Brenna.Drawing.4\\Insertable", ""},
    {"Brenna.Drawing.4\\Protocol\\StdFileEditing\\Server", "%S"},
    {"Brenna.Drawing.4\\Protocol\\StdFileEditing\\Verb\\0", "開く(&O)"},
    {"Brenna.Drawing.4\\Shell\\Open\\Command", "%O"},
};

// Keys the system makes as parents of the rows, without values.
constexpr const char* kClassParentKeys[] = {
    "CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\AuxUserType",
    "CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\DataFormats",
    "CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\Verb",
    "Brenna.Drawing.4\\Protocol",
    "Brenna.Drawing.4\\Protocol\\StdFileEditing",
    "Brenna.Drawing.4\\Protocol\\StdFileEditing\\Verb",
    "Brenna.Drawing.4\\Shell",
    "Brenna.Drawing.4\\Shell\\Open",
};

}  // namespace installed_names

namespace installed = installed_names;
