// The thread's last-error value as a Win32 error number. Windows keeps it
// itself; the host build maps errno onto the few numbers the program tests.
#pragma once

#include <cstdint>

uint32_t GetLastSystemError();
void SetLastSystemError(uint32_t error);
