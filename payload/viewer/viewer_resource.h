// Resource ids of ORVIK.exe. Icon order matters: index 0 is the program,
// index 1 the drawing document (the file type's DefaultIcon ",1").
#pragma once

#define IDI_PROGRAM 1
#define IDI_DRAWING 2
#define IDC_DRAWING_TEXT 100
