#include "window/message_box.h"

#include <cstdarg>

#include "ground/result.h"

void ShowError(HWND owner, HRESULT code, const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    ComposeErrorTextV(sizeof text, text, code, format, args);
    va_end(args);
    // No caption of our own: the system's default title.
    MessageBoxA(owner, text, nullptr, MB_OK | MB_ICONEXCLAMATION);
}

int AskUser(HWND owner, const char* format, UINT flags, ...)
{
    char question[780];
    va_list args;
    va_start(args, flags);
    // A question that does not fit is shown cut.
    if (FormatBoundedV(question, sizeof question, format, args) == E_INVALIDARG)
        question[0] = '\0';
    va_end(args);
    char caption[520];
    caption[0] = '\0';
    if (owner != nullptr)
        GetWindowTextA(owner, caption, sizeof caption);
    return MessageBoxA(owner, question, caption, flags);
}
