// Whether the static texts of a dialog fit their controls as the user sees
// them: measured with each control's own font, as the control draws it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One line per static text of dialog (its direct children) that needs more
// room than its control's client area, naming dialogName and the control
// id; empty when every text fits.
std::vector<std::string> StaticTextMisfits(HWND dialog, const std::string& dialogName);
