// OLE local server of the drawing class, its ProgIDs and the ".kdw" type.
#pragma once

#include <cstddef>

#include "ground/result.h"

class InstallLog;

// Registers destination\serverName (by its short path) under
// HKEY_CLASSES_ROOT; iconSuffix follows the path in the icon locations.
HRESULT RegisterDrawingServer(const char* destination, const char* serverName,
                              const char* iconSuffix, InstallLog* log);

// The rows themselves, given the server path that GetShortPathNameA gave.
HRESULT WriteDrawingServerRows(const char* shortPath, const char* iconSuffix, InstallLog* log);

// A registered server value: the server path followed by suffix. A path with
// a blank (a volume without 8.3 names gives the long path back) is quoted, so
// that the command line names the right program.
HRESULT ComposeServerValue(char* value, size_t size, const char* serverPath, const char* suffix);
