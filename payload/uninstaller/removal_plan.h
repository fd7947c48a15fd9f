// What the uninstaller removes and in which order; portable so it can be
// checked on the host.
#pragma once

#include <string>
#include <vector>

#include "uninstall_log.h"

struct RemovalPlan {
    std::vector<std::string> files;  // deleted first
    std::vector<std::string> dirs;   // then, when empty
    std::vector<RegKeyName> keys;    // last, each with its subkeys
};

// Each group in the reverse order of the log, every item once; the
// product's own registrations found outside the log follow the log's keys.
// keptForLast (the log, the uninstaller, the installation directory) are
// left out even if listed: they can only go once everything else has gone.
RemovalPlan PlanRemoval(const InstallLogContents& log, const std::vector<RegKeyName>& ownRegistrations,
                        const std::vector<std::string>& keptForLast);

// Whether text (a path, or a command line starting with a path, quoted or
// not) names something inside directory. Case-insensitive for single-byte
// letters only; double-byte characters compare byte for byte.
bool NamesPathInside(const char* text, const char* directory);

// The directory part of a path without trailing separator; empty if none.
std::string ParentDirectory(const std::string& path);

// Splits a command line into arguments: a quoted argument runs to the next
// quote, with no escapes, so a trail byte 0x5C before a quote stays data.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Case-insensitive compare of single-byte letters, for options and key names.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
