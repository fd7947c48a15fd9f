// The destination page's logic: the proposed directory, the folder browser
// and the test whether another program already serves the drawing objects.
#pragma once

#include <windows.h>

// The directory to propose into buffer (260 bytes): an earlier
// installation's directory without trailing separator, else the Windows
// drive's root with "Program Files\Velmar\Orvik\". Nothing usable: a failure,
// and the caller proposes nothing.
HRESULT ChooseDefaultDestination(char* buffer);

// buffer (260 bytes) holds the Windows directory; on S_OK it holds the
// default directory on that drive. A Windows directory that is not of the
// form "X:\..." gives E_FAIL.
HRESULT DefaultOnWindowsDrive(char* buffer);

// Lets the user pick an existing folder; a chosen file-system folder
// replaces the text of the destination edit of page, anything else leaves it.
void BrowseForDestination(HWND page);

// True when the drawing class is registered to an existing program file
// whose name is not "Orvik.exe": the association page is then left out.
// Asked anew at every use.
bool IsForeignDrawingServer();
