// What the uninstaller removes and in which order; portable so it can be
// checked on the host.
#pragma once

#include <string>
#include <vector>

#include "removal_scope.h"
#include "uninstall_log.h"

struct RemovalPlan {
    std::vector<std::string> files;     // deleted first
    std::vector<std::string> dirs;      // then, when empty
    std::vector<RegKeyName> keys;       // then, each with its subkeys
    std::vector<RegKeyName> finishing;  // last, and only when nothing else failed
    std::vector<std::string> notOurs;   // log lines left alone, as the log writes them
};

// Files and directories in the reverse order of the log, every item once,
// each only when it lies where this installation puts things; keys are
// the product's own that belong to this installation, listed or not.
// keptForLast (the log, the uninstaller, the installation directory) are
// left out even if listed: they can only go once everything else has gone.
RemovalPlan PlanRemoval(const InstallLogContents& log, const InstallationPlaces& places, const SystemView& view,
                        const std::vector<std::string>& keptForLast);

// The directory part of a path without trailing separator; empty if none.
std::string ParentDirectory(const std::string& path);

// Splits a command line into arguments: a quoted argument runs to the next
// quote, with no escapes, so a trail byte 0x5C before a quote stays data.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Case-insensitive compare of single-byte letters, for options and key names.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
