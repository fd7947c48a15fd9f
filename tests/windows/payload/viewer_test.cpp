// ORVIK.exe started the ways the shell and the user start it.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include "payload_test_support.h"

namespace {

const char kTitle[] = "ブレンナビューア for Windows";
const int kDrawingTextId = 100;

std::string Viewer()
{
    return BuildTreePath("payload\\viewer\\ORVIK.exe");
}

// Starts the viewer with the arguments, reads its window back and closes it.
void RunViewer(const std::string& arguments, std::string* title, std::string* text)
{
    Process process = StartProgram("\"" + Viewer() + "\"" + arguments);
    ASSERT_TRUE(process.handle);
    HWND window = WaitForWindow(process.id, "OrvikViewerWindow");
    ASSERT_TRUE(window);
    *title = WindowText(window);
    *text = WindowText(GetDlgItem(window, kDrawingTextId));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitAndClose(&process), 0u);
}

TEST(Viewer, ShowsTheDrawingItWasStartedWith)
{
    ASSERT_TRUE(CreateDirectoryA("C:\\図面 表", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    std::string drawing = "C:\\図面 表\\見本.kdw";
    ASSERT_TRUE(WriteFileBytes(drawing, std::string(1234, 'x')));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(drawing.c_str(), shortPath, sizeof(shortPath)), 0u);

    struct Case {
        std::string arguments;
        std::string expected;
    } cases[] = {
        {"", "図面ファイルが指定されていません。"},
        {" -Embedding", "図面ファイルが指定されていません。"},
        {" \"" + drawing + "\"", "図面ファイル: " + drawing + "\r\n\r\n1234 バイト"},
        // The open command: short server path, blank, "%1".
        {" \"" + std::string(shortPath) + "\"", "図面ファイル: " + std::string(shortPath) + "\r\n\r\n1234 バイト"},
        {" " + drawing + "  ", "図面ファイル: " + drawing + "\r\n\r\n1234 バイト"},
        {" \"C:\\図面 表\\無い.kdw\"", "図面ファイル: C:\\図面 表\\無い.kdw\r\n\r\nこのファイルを開けません。"},
    };
    for (const Case& c : cases) {
        std::string title, text;
        RunViewer(c.arguments, &title, &text);
        EXPECT_EQ(title, kTitle) << c.arguments;
        EXPECT_EQ(text, c.expected) << c.arguments;
    }
}

TEST(Viewer, CarriesProgramAndDocumentIconsAndVersion)
{
    std::string viewer = Viewer();
    EXPECT_EQ(ExtractIconExA(viewer.c_str(), -1, nullptr, nullptr, 0), 2u);
    for (int index : {0, 1}) {
        HICON large = nullptr, small = nullptr;
        EXPECT_EQ(ExtractIconExA(viewer.c_str(), index, &large, &small, 1), 2u) << index;
        EXPECT_TRUE(large) << index;
        EXPECT_TRUE(small) << index;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(large, &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(large);
        DestroyIcon(small);
    }

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(viewer.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(viewer.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 6));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 6));
}

}  // namespace
