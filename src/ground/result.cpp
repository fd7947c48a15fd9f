#include "ground/result.h"

#include "ground/system_error.h"

HRESULT ResultFromWin32(uint32_t error)
{
    // A failure that left no error number is still a failure.
    if (error == 0)
        return E_FAIL;
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

HRESULT ResultFromLastError()
{
    return ResultFromWin32(GetLastSystemError());
}
