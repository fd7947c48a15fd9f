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
// E_CORRUPT_DATA before any change when a payload archive is damaged, or the
// first failure unchanged; nothing done before a failure is undone.
HRESULT InstallProduct(HWND owner, const char* destination, unsigned char associate);
