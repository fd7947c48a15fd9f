// The copy-method dialog and its controls: res/setup.rc and the code
// include these, so the template and the code cannot disagree. Plain
// #defines, which the resource compiler reads.
#pragma once

#define IDD_COPY_METHOD 211

// Radio buttons: CopyMode 0, 1 and 2.
#define IDC_COPY_SKIP 1002
#define IDC_COPY_UNLESS_NEWER 1003
#define IDC_COPY_REPLACE 1004
#define IDC_COPY_MEMBER_PATH 1005
// Check box: the choice holds for the rest of the archive.
#define IDC_COPY_FOR_ALL 1006
#define IDC_COPY_EXISTING_SIZE 1007
#define IDC_COPY_EXISTING_TIME 1008
#define IDC_COPY_MEMBER_SIZE 1009
#define IDC_COPY_MEMBER_TIME 1010
