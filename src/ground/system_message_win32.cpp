#include "ground/system_message.h"

#include <windows.h>

bool GetSystemMessage(HRESULT code, char* text, size_t size)
{
    if (text == nullptr || size == 0)
        return false;
    // Inserts are left as they are: there are no arguments to fill them.
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(code), 0, text,
                                        static_cast<DWORD>(size > 0xFFFF ? 0xFFFF : size), nullptr);
    if (length == 0) {
        text[0] = '\0';
        return false;
    }
    return true;
}
