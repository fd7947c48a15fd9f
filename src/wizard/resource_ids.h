// Resource ids of setup.exe, shared by the .rc file and the code.
#pragma once

// Wizard page dialogs, in sheet order.
#define IDD_WELCOME 201
#define IDD_DESTINATION 204
#define IDD_ASSOCIATION 213
#define IDD_READY 210
#define IDD_FINISHED 206
#define IDD_ABORTED 110

// Wizard bitmaps: the exterior pages' watermark and the header bitmap.
#define IDB_WATERMARK 202
#define IDB_HEADER 203
// The same two drawn for displays at 125, 150 and 200 %.
#define IDB_WATERMARK_125 1202
#define IDB_HEADER_125 1203
#define IDB_WATERMARK_150 1502
#define IDB_HEADER_150 1503
#define IDB_WATERMARK_200 2002
#define IDB_HEADER_200 2003

#define IDI_SETUP 128

// Controls of the page dialogs.
#define IDC_TEXT1 101
#define IDC_TEXT2 102
#define IDC_TEXT3 103
#define IDC_TEXT4 104
#define IDC_DESTINATION 1000
#define IDC_BROWSE 1001
#define IDC_ASSOCIATE_YES 1002
#define IDC_ASSOCIATE_NO 1003

