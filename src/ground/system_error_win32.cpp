#include "ground/system_error.h"

#include <windows.h>

uint32_t GetLastSystemError()
{
    return GetLastError();
}

void SetLastSystemError(uint32_t error)
{
    SetLastError(error);
}
