// The host has no message table for Windows result codes; error texts then
// carry the "HRESULT: ..." line alone.
#include "ground/system_message.h"

bool GetSystemMessage(HRESULT, char* text, size_t size)
{
    if (text != nullptr && size != 0)
        text[0] = '\0';
    return false;
}
