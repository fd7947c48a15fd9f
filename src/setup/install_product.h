// The installation itself: removes earlier installations, extracts the two
// payload archives, creates the shortcuts and registers the product, with
// everything created from the product archive on recorded in INSTALL.LOG.
#pragma once

#include <windows.h>

#include "setup/result.h"

// owner: the wizard's frame, owner of the copy-method dialog and of the
// special-folder lookups. destination: at most 259 bytes. associate: nonzero
// registers the drawing class and ".kdw".
// Returns S_OK, E_ABORT when the user stopped in the copy-method dialog,
// E_CORRUPT_DATA when a payload archive is damaged, kLogIsLink or
// kLogNotALog for an earlier log refused, or the first failure
// unchanged. What can be checked without writing (paths, command line,
// destination, files to be replaced, the copy-method questions) is checked
// before anything changes. Nothing done before a later failure is undone,
// but the earlier installation's log lines and the uninstall entry are kept
// so that the stored uninstall command still removes everything.
HRESULT InstallProduct(HWND owner, const char* destination, unsigned char associate);

// The earlier INSTALL.LOG in the destination is a symbolic link, a junction
// or a second name of another file: nothing is read or written through it.
constexpr HRESULT kLogIsLink = static_cast<HRESULT>(0x80070000u | ERROR_CANT_ACCESS_FILE);
// It is no log the uninstaller would read (too large, a line it refuses), so
// no log of this product: it is left as it is.
constexpr HRESULT kLogNotALog = static_cast<HRESULT>(0x80070000u | ERROR_INVALID_DATA);
