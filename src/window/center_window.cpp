#include "window/center_window.h"

void CenterOnOwner(HWND window, HWND reference)
{
    LONG style = GetWindowLongA(window, GWL_STYLE);
    bool child = (style & WS_CHILD) != 0;
    HWND parent = child ? GetParent(window) : nullptr;
    if (!reference)
        reference = child ? parent : GetWindow(window, GW_OWNER);

    RECT own = {0, 0, 0, 0};
    GetWindowRect(window, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top;

    RECT bounds = {0, 0, 0, 0};
    RECT centre = {0, 0, 0, 0};
    if (child) {
        GetClientRect(parent, &bounds);
        GetClientRect(reference, &centre);
        MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&centre), 2);
    } else {
        if (reference) {
            LONG referenceStyle = GetWindowLongA(reference, GWL_STYLE);
            if (!(referenceStyle & WS_VISIBLE) || (referenceStyle & WS_MINIMIZE))
                reference = nullptr;
        }
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &bounds, 0);
        if (reference)
            GetWindowRect(reference, &centre);
        else
            centre = bounds;
    }

    int left = (centre.left + centre.right) / 2 - width / 2;
    int top = (centre.top + centre.bottom) / 2 - height / 2;
    if (left < bounds.left)
        left = bounds.left;
    else if (left + width > bounds.right)
        left = bounds.right - width;
    if (top < bounds.top)
        top = bounds.top;
    else if (top + height > bounds.bottom)
        top = bounds.bottom - height;

    SetWindowPos(window, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
