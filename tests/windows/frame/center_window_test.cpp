// CenterOnOwner on real windows: child windows inside their parent's client
// area, top-level windows on their owner or on the work area.
#include <windows.h>

#include <gtest/gtest.h>

#include "window/center_window.h"

namespace {

const char kClass[] = "OrvikCentreTest";

void RegisterTestClass()
{
    static bool done = false;
    if (done)
        return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    done = true;
}

HWND MakeWindow(DWORD style, HWND parent, int x, int y, int w, int h)
{
    RegisterTestClass();
    return CreateWindowExA(0, kClass, "", style, x, y, w, h, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

RECT WorkArea()
{
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// Position of child in its parent's client coordinates.
POINT ChildPosition(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    POINT p = {rect.left, rect.top};
    ScreenToClient(GetParent(child), &p);
    return p;
}

POINT ScreenPosition(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return {rect.left, rect.top};
}

class CenterOnOwnerTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (HWND w : windows)
            DestroyWindow(w);
    }
    HWND Keep(HWND w)
    {
        windows.push_back(w);
        return w;
    }
    std::vector<HWND> windows;
};

} // namespace

TEST_F(CenterOnOwnerTest, ChildWindowsStayInsideTheParentsClientArea)
{
    // A borderless parent whose client area is 400 x 300.
    HWND parent = Keep(MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 50, 40, 400, 300));
    struct Case
    {
        int w, h;
        // Reference sibling (x, y, w, h), or none when w is 0.
        RECT reference;
        POINT expected;
    } cases[] = {
        // Centred on the parent itself.
        {100, 50, {0, 0, 0, 0}, {150, 125}},
        {101, 51, {0, 0, 0, 0}, {150, 125}},
        // Centred on a sibling in the lower right: pushed back inside.
        {120, 80, {300, 250, 100, 50}, {280, 220}},
        // Centred on a sibling in the upper left: held at the left/top edges.
        {120, 80, {0, 0, 40, 20}, {0, 0}},
        // Larger than the parent: left and top edges.
        {500, 400, {0, 0, 0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        HWND reference = nullptr;
        if (c.reference.right)
            reference = Keep(MakeWindow(WS_CHILD | WS_VISIBLE, parent, c.reference.left, c.reference.top,
                                        c.reference.right, c.reference.bottom));
        HWND child = Keep(MakeWindow(WS_CHILD | WS_VISIBLE, parent, 7, 9, c.w, c.h));
        CenterOnOwner(child, reference);
        POINT p = ChildPosition(child);
        EXPECT_EQ(p.x, c.expected.x) << c.w << "x" << c.h;
        EXPECT_EQ(p.y, c.expected.y) << c.w << "x" << c.h;
        // Never resized.
        RECT rect;
        GetWindowRect(child, &rect);
        EXPECT_EQ(rect.right - rect.left, c.w);
        EXPECT_EQ(rect.bottom - rect.top, c.h);
    }
}

TEST_F(CenterOnOwnerTest, TopLevelWindowsCentreOnAVisibleOwnerElseOnTheWorkArea)
{
    const RECT area = WorkArea();
    enum class Owner { Visible, Hidden, Minimised };
    for (Owner state : {Owner::Visible, Owner::Hidden, Owner::Minimised}) {
        HWND owner = Keep(MakeWindow(WS_POPUP | WS_CAPTION, nullptr, 100, 80, 300, 200));
        if (state == Owner::Visible)
            ShowWindow(owner, SW_SHOWNOACTIVATE);
        if (state == Owner::Minimised)
            ShowWindow(owner, SW_SHOWMINNOACTIVE);
        HWND window = Keep(MakeWindow(WS_POPUP, owner, 0, 0, 120, 60));
        CenterOnOwner(window, nullptr);
        POINT p = ScreenPosition(window);
        if (state == Owner::Visible) {
            RECT o;
            GetWindowRect(owner, &o);
            EXPECT_EQ(p.x, (o.left + o.right) / 2 - 60);
            EXPECT_EQ(p.y, (o.top + o.bottom) / 2 - 30);
        } else {
            EXPECT_EQ(p.x, (area.left + area.right) / 2 - 60) << static_cast<int>(state);
            EXPECT_EQ(p.y, (area.top + area.bottom) / 2 - 30) << static_cast<int>(state);
        }
    }
}

TEST_F(CenterOnOwnerTest, TopLevelWindowsStayInsideTheWorkArea)
{
    const RECT area = WorkArea();
    // An owner hanging off the right and bottom edges pulls the window to
    // the work area's right and bottom edges.
    HWND owner = Keep(MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, area.right - 50, area.bottom - 40, 200, 150));
    HWND window = Keep(MakeWindow(WS_POPUP, owner, 0, 0, 160, 100));
    CenterOnOwner(window, nullptr);
    POINT p = ScreenPosition(window);
    EXPECT_EQ(p.x, area.right - 160);
    EXPECT_EQ(p.y, area.bottom - 100);

    // Larger than the work area: its left and top edges.
    HWND big = Keep(MakeWindow(WS_POPUP, nullptr, 10, 10, area.right - area.left + 300,
                               area.bottom - area.top + 200));
    CenterOnOwner(big, nullptr);
    p = ScreenPosition(big);
    EXPECT_EQ(p.x, area.left);
    EXPECT_EQ(p.y, area.top);
}
