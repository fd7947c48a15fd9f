// ORVIK.exe: a small stand-in for the drawing viewer. It shows which
// drawing file it was started with (the open command passes "%1"), or that
// none was given.
#include <windows.h>

#include <cstdio>

#include "viewer_resource.h"

namespace {

const char kWindowClass[] = "OrvikViewerWindow";
const char kTitle[] = "ブレンナビューア for Windows";
const char kNoFileText[] = "図面ファイルが指定されていません。";

// The drawing file named on the command line, without quotes; empty when
// none is given. OLE starts a local server with -Embedding: no file.
void DrawingArgument(const char* commandLine, char* file, size_t size)
{
    const char* p = commandLine;
    // Skip the program's own name, stepping by characters so a trail byte
    // 0x5C inside a quoted path cannot end it.
    bool quoted = false;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
        if (*p == '"')
            quoted = !quoted;
        p = CharNextA(p);
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* end;
    if (*p == '"') {
        ++p;
        end = p;
        while (*end && *end != '"')
            end = CharNextA(end);
    } else {
        // Trail bytes are never blanks, so trimming by bytes is safe.
        end = p + lstrlenA(p);
        while (end > p && (end[-1] == ' ' || end[-1] == '\t'))
            --end;
    }
    size_t length = static_cast<size_t>(end - p);
    if (length >= size)
        length = size - 1;
    memcpy(file, p, length);
    file[length] = '\0';
    if (lstrcmpiA(file, "-Embedding") == 0 || lstrcmpiA(file, "/Embedding") == 0)
        file[0] = '\0';
}

void DescribeDrawing(const char* file, char* text, size_t size)
{
    if (!file[0]) {
        lstrcpynA(text, kNoFileText, static_cast<int>(size));
        return;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(file, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::snprintf(text, size, "図面ファイル: %s\r\n\r\nこのファイルを開けません。", file);
        return;
    }
    unsigned long long bytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::snprintf(text, size, "図面ファイル: %s\r\n\r\n%llu バイト", file, bytes);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        HWND label = CreateWindowExA(0, "STATIC", static_cast<const char*>(create->lpCreateParams),
                                     WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DRAWING_TEXT)),
                                     create->hInstance, nullptr);
        if (!label)
            return -1;
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return 0;
    }
    case WM_SIZE:
        MoveWindow(GetDlgItem(window, IDC_DRAWING_TEXT), 16, 16, LOWORD(lParam) - 32, HIWORD(lParam) - 32, TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    char file[MAX_PATH];
    DrawingArgument(GetCommandLineA(), file, sizeof(file));
    char text[2 * MAX_PATH];
    DescribeDrawing(file, text, sizeof(text));

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 560, 240,
                                  nullptr, nullptr, instance, text);
    if (!window)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
