// What belongs to one installation: the places where the setup puts files,
// and the product's keys while they still lead to this installation. The
// log only proposes; these rules decide. Portable: the system's answers
// (other forms of a path, what a key holds) come in through SystemView.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "uninstall_log.h"

// Each place in every form the system knows for it (as given, long, short).
struct InstallationPlaces {
    std::vector<std::string> directory;    // the directory of INSTALL.LOG
    std::vector<std::string> menuFolder;   // the product's Start-menu folder
    std::vector<std::string> desktopLink;  // the product's desktop shortcut
};

struct SystemView {
    // Other names of the same file or directory (long and short forms).
    std::function<std::vector<std::string>(const std::string&)> otherForms;
    std::function<bool(const RegKeyName&)> keyExists;
    // A text value; false when the key or value is missing or not text.
    std::function<bool(const RegKeyName&, const char* valueName, std::string*)> readText;
    std::function<std::vector<std::string>(const RegKeyName&)> subkeys;
};

// Root ("C:" or "\\server\share") and components of a path whose every
// component is a plain name: no ".", "..", device name, stream, wildcard,
// control character or trailing dot or blank. One trailing separator is
// allowed, so "C:\" is a root with no components.
bool SplitPlainPath(const std::string& path, std::string* root, std::vector<std::string>* parts);

// Component-wise containment, ignoring case, stepping by characters.
// orEqual: the directory itself counts too.
bool PathWithin(const std::string& path, const std::string& directory, bool orEqual);

bool IsOwnFile(const std::string& path, const InstallationPlaces& places, const SystemView& view);
bool IsOwnDirectory(const std::string& path, const InstallationPlaces& places, const SystemView& view);

// Whether text, a path or a command line starting with one (quoted or
// not), names the file fileName directly in one of the directories.
bool NamesProgramIn(const std::string& text, const std::vector<std::string>& directories, const char* fileName);

struct OwnKeys {
    std::vector<RegKeyName> keys;       // removed with their subkeys
    std::vector<RegKeyName> finishing;  // App Paths and uninstall entry: only once all else has gone
};

// The product's keys that exist and belong to this installation now.
OwnKeys FindOwnKeys(const InstallationPlaces& places, const SystemView& view);
