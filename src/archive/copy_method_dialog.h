// The copy-method question: asked when a member's existing copy differs in
// last-write time or size (Win32).
#pragma once

#include <windows.h>

#include "archive/extract.h"

// Dialog template 211 and its controls.
constexpr int kCopyMethodTemplate = 211;
constexpr int kCopySkip = 1002;            // radio buttons: CopyMode 0, 1, 2
constexpr int kCopyUnlessNewer = 1003;
constexpr int kCopyReplace = 1004;
constexpr int kCopyMemberPath = 1005;
constexpr int kCopyForAll = 1006;          // check box: doNotAsk
constexpr int kCopyExistingSize = 1007;
constexpr int kCopyExistingTime = 1008;
constexpr int kCopyMemberSize = 1009;
constexpr int kCopyMemberTime = 1010;

// Shows the dialog; returns IDOK or IDCANCEL, or what DialogBoxParamA gives
// on failure. copyMode and doNotAsk are written back only on IDOK.
// member holds the member's last-write time and original size; existing is
// the destination file's find data.
INT_PTR AskCopyMethod(HWND owner, const char* memberPath, const WIN32_FIND_DATAA* member,
                      const WIN32_FIND_DATAA* existing, CopyMode* copyMode, bool* doNotAsk);

// Local short date, one blank, local time without seconds; text holds 260 bytes.
void FormatFileTime(const FILETIME* time, char* text);
