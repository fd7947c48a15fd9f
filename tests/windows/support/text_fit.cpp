#include "text_fit.h"

#include <string>

namespace {

struct Search
{
    HWND dialog;
    const std::string* name;
    std::vector<std::string>* misfits;
};

// The DrawText format a static control of this style draws its text with;
// 0 for a static that shows no text (an icon, a frame...).
UINT StaticFormat(LONG style)
{
    UINT format = DT_CALCRECT | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
        return format | DT_WORDBREAK;
    case SS_LEFTNOWORDWRAP:
    case SS_SIMPLE:
        return format | DT_SINGLELINE;
    default:
        return 0;
    }
}

BOOL CALLBACK Measure(HWND control, LPARAM param)
{
    auto& search = *reinterpret_cast<Search*>(param);
    char className[16] = "";
    GetClassNameA(control, className, sizeof className);
    UINT format = StaticFormat(GetWindowLongA(control, GWL_STYLE));
    if (GetParent(control) != search.dialog || lstrcmpiA(className, "Static") != 0 || format == 0)
        return TRUE;
    char text[1024] = "";
    if (GetWindowTextA(control, text, sizeof text) == 0)
        return TRUE;

    RECT client;
    GetClientRect(control, &client);
    RECT needed = {0, 0, client.right, 0};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    DrawTextA(dc, text, -1, &needed, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (needed.right > client.right || needed.bottom > client.bottom) {
        // Several statics have no id of their own: the place tells them apart.
        RECT place;
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, search.dialog, reinterpret_cast<POINT*>(&place), 2);
        search.misfits->push_back("dialog " + *search.name + ", control " +
                                  std::to_string(static_cast<short>(GetDlgCtrlID(control))) + " at " +
                                  std::to_string(place.left) + "," + std::to_string(place.top) + ": needs " +
                                  std::to_string(needed.right) + "x" + std::to_string(needed.bottom) + ", has " +
                                  std::to_string(client.right) + "x" + std::to_string(client.bottom));
    }
    return TRUE;
}

}  // namespace

std::vector<std::string> StaticTextMisfits(HWND dialog, const std::string& dialogName)
{
    std::vector<std::string> misfits;
    Search search = {dialog, &dialogName, &misfits};
    EnumChildWindows(dialog, &Measure, reinterpret_cast<LPARAM>(&search));
    return misfits;
}
