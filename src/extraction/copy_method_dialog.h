// The copy-method question: asked when a member's existing copy differs in
// last-write time or size (Win32).
#pragma once

#include <windows.h>

#include "extraction/copy_method_ids.h"
#include "extraction/extract.h"

// Dialog template 211 and its controls, by the ids the template uses.
constexpr int kCopyMethodTemplate = IDD_COPY_METHOD;
constexpr int kCopySkip = IDC_COPY_SKIP;  // radio buttons: CopyMode 0, 1, 2
constexpr int kCopyUnlessNewer = IDC_COPY_UNLESS_NEWER;
constexpr int kCopyReplace = IDC_COPY_REPLACE;
constexpr int kCopyMemberPath = IDC_COPY_MEMBER_PATH;
constexpr int kCopyForAll = IDC_COPY_FOR_ALL;  // check box: doNotAsk
constexpr int kCopyExistingSize = IDC_COPY_EXISTING_SIZE;
constexpr int kCopyExistingTime = IDC_COPY_EXISTING_TIME;
constexpr int kCopyMemberSize = IDC_COPY_MEMBER_SIZE;
constexpr int kCopyMemberTime = IDC_COPY_MEMBER_TIME;

// Shows the dialog; returns IDOK or IDCANCEL, or what DialogBoxParamA gives
// on failure. copyMode and doNotAsk are written back only on IDOK.
// member holds the member's last-write time and original size; existing is
// the destination file's find data.
INT_PTR AskCopyMethod(HWND owner, const char* memberPath, const WIN32_FIND_DATAA* member,
                      const WIN32_FIND_DATAA* existing, CopyMode* copyMode, bool* doNotAsk);

// Local short date, one blank, local time without seconds; text holds 260 bytes.
void FormatFileTime(const FILETIME* time, char* text);
