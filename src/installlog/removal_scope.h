// What belongs to one installation: the places where the setup puts files,
// and the product's keys while they still lead to this installation. The
// log only proposes; these rules decide. Portable: the system's answers
// (other forms of a path, what is there, what a key holds) come in through
// SystemView.
#pragma once

#include <cstddef>

#include "installlog/log_reader.h"

constexpr size_t kPathSize = 260;
constexpr int kMaxForms = 4;

// One path in every form the system knows for it (as given, long, short).
struct PathForms {
    char form[kMaxForms][kPathSize];
    int count = 0;
};

// Adds path unless it is there already or does not fit.
void AddPathForm(PathForms* forms, const char* path);

struct InstallationPlaces {
    PathForms directory;    // the directory of INSTALL.LOG
    PathForms menuFolder;   // the product's Start-menu folder
    PathForms desktopLink;  // the product's desktop shortcut
};

enum class ItemKind { Missing, File, Directory };

struct SystemView {
    void* context = nullptr;
    // Other names of the same file or directory (long and short forms) into
    // forms; how many.
    int (*otherForms)(void* context, const char* path, char (*forms)[kPathSize], int max) = nullptr;
    ItemKind (*kind)(void* context, const char* path) = nullptr;
    bool (*keyExists)(void* context, const RegKeyName& key) = nullptr;
    // A text value; false when the key or value is missing, not text or too long.
    bool (*readText)(void* context, const RegKeyName& key, const char* valueName, char* text, size_t size) = nullptr;
    // The index-th subkey's name; false past the last.
    bool (*subkey)(void* context, const RegKeyName& key, unsigned index, char* name, size_t size) = nullptr;
    // Appends directory\name for each file directly in directory whose name
    // follows the setup's temporary-name rule (ground/temporary_name.h).
    void (*temporaries)(void* context, const char* directory, TextList* found, TextPool* pool) = nullptr;
};

// The path and its other forms.
void FormsOf(const char* path, const SystemView& view, PathForms* forms);

// Whether every component of path is a plain name: no ".", "..", device
// name, stream, wildcard, control character or trailing dot or blank, below
// a root "C:" or "\\server\share". One trailing separator is allowed, so
// "C:\" is a root with no components. rootOnly: it is such a root.
bool IsPlainPath(const char* path, bool* rootOnly = nullptr);

// Component-wise containment, ignoring case, stepping by characters.
// orEqual: the directory itself counts too.
bool PathWithin(const char* path, const char* directory, bool orEqual);
bool SamePath(const char* a, const char* b);
// Whether any form of a is any form of b.
bool SameItem(const PathForms& a, const PathForms& b);

bool IsOwnFile(const char* path, const InstallationPlaces& places, const SystemView& view);
bool IsOwnDirectory(const char* path, const InstallationPlaces& places, const SystemView& view);
// The places split once, for checking many paths; nullptr when memory runs out.
struct PreparedPlaces;
PreparedPlaces* PreparePlaces(const InstallationPlaces& places);
void FreePreparedPlaces(PreparedPlaces* prepared);
bool IsOwnFileForms(const PathForms& forms, const PreparedPlaces& places);
// A member's temporary file that a stopped setup left: a name of the setup's
// rule, below the installation directory (never a root's).
bool IsOwnTemporaryForms(const PathForms& forms, const PreparedPlaces& places);
bool IsOwnDirectoryForms(const PathForms& forms, const PreparedPlaces& places);

// Whether text, a path or a command line starting with one (quoted or
// not), names the file fileName directly in one of the directories.
bool NamesProgramIn(const char* text, const PathForms& directories, const char* fileName);

struct OwnKeys {
    KeyList keys;       // removed with their subkeys (".kdw": only what the setup writes there)
    KeyList finishing;  // App Paths and uninstall entry: only once all else has gone
    TextPool names;     // paths of the keys above
};

void FreeOwnKeys(OwnKeys* own);

// The product's keys that exist and belong to this installation now.
void FindOwnKeys(const InstallationPlaces& places, const SystemView& view, OwnKeys* own);
