// What the uninstaller removes and in which order; portable so it can be
// checked on the host.
#pragma once

#include <cstddef>

#include "installlog/log_reader.h"
#include "installlog/removal_scope.h"

struct RemovalPlan {
    TextList files;    // deleted first
    TextList dirs;     // then, when empty
    KeyList keys;      // then, each with its subkeys (".kdw": what the setup writes)
    KeyList finishing; // last, and only when nothing else failed
    TextList notOurs;  // log lines left alone, as the log writes them
    OwnKeys own;       // holds the keys' names
    TextPool texts;    // holds the paths and names planned beyond the log's lines
    bool failed = false;  // memory ran out: nothing may be removed
};

// Files and directories in the reverse order of the log, every item once,
// each only when it lies where this installation puts things and is still
// of the kind the log says; ORVIK.exe and ORVIK.DAT directly in the
// installation directory whether listed or not; keys are the product's own
// that belong to this installation, listed or not. kept (the log, the
// uninstaller, the installation directory) are left out in every form even
// if listed: they can only go once everything else has gone.
// Takes O(n log n) for n lines. False when memory ran out.
bool PlanRemoval(const InstallLogContents& log, const InstallationPlaces& places, const SystemView& view,
                 const char* const* kept, int keptCount, RemovalPlan* plan);
void FreePlan(RemovalPlan* plan);

// The directory part of a path without trailing separator; false (out
// empty) when there is none or it does not fit.
bool ParentDirectory(const char* path, char* out, size_t size);

// Splits a command line into at most maxArgs arguments copied into buffer:
// a quoted argument runs to the next quote, with no escapes, so a trail
// byte 0x5C before a quote stays data. -1 when they do not fit.
int SplitCommandLine(const char* commandLine, char* buffer, size_t size, const char** args, int maxArgs);
