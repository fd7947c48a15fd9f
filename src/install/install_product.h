// The installation itself: removes earlier installations, extracts the two
// payload archives, creates the shortcuts and registers the product, with
// everything created from the product archive on recorded in INSTALL.LOG.
#pragma once

#include <windows.h>

#include "ground/path.h"
#include "ground/result.h"
#include "installlog/log_file.h"

// What a failed installation tells the user beyond its result.
struct InstallReport {
    // On Windows 9x, where the user's original of a file that could not be
    // put back now lies; empty otherwise.
    char preservedOriginal[PATH_BUFFER_SIZE];
};

// owner: the wizard's frame, owner of the copy-method dialog and of the
// special-folder lookups. destination: at most 259 bytes. associate: nonzero
// registers the drawing class and ".kdw".
// Returns S_OK, E_ABORT when the user stopped in the copy-method dialog,
// E_CORRUPT_DATA when a payload archive is damaged, kLogIsLink or
// kLogNotALog (installlog/log_file.h) for an earlier log refused, or the first failure
// unchanged. What can be checked without writing (paths, command line,
// destination, files to be replaced, the copy-method questions) is checked
// before anything changes. Nothing done before a later failure is undone,
// but the earlier installation's log lines and the uninstall entry are kept
// so that the stored uninstall command still removes everything. report,
// when given, is filled whatever the result.
HRESULT InstallProduct(HWND owner, const char* destination, unsigned char associate,
                       InstallReport* report = nullptr);
