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

// A function of a module already loaded (kernel32, advapi32), looked up at
// run time: the program also starts on systems without it. Null when absent.
template <typename Function>
Function SystemFunction(const char* module, const char* name)
{
    HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr)
        return nullptr;
    // Through the generic function type, which GCC allows to be cast to any.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}
