// What both elevated programs do before anything else: a user without rights
// may write the folder they are started from, the current directory and
// %TEMP%, so no library is taken from there and, where the system can tell,
// no link such a user made is followed.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Restricts the library search to the system directory (Windows 7 with the
// update that adds it, and later), else takes the current directory out of
// it; turns on the redirection guard where the system has it. Call first.
void HardenProcess();

// name in the system directory; false when the path does not fit.
bool SystemLibraryPath(const char* name, char* path, size_t size);

// 64 bits from the system's random generator; on the 9x family, which has
// none, a mix of the clocks and the process.
uint64_t RandomBits();
