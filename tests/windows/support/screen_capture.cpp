#include "screen_capture.h"

#include <cstdio>

#include "png_writer.h"

bool CaptureScreenArea(const RECT& rect, ScreenImage& image)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
        GdiFlush();
        if (copied) {
            // Each pixel is B, G, R, unused.
            const auto* bgrx = static_cast<const uint8_t*>(bits);
            image.width = width;
            image.height = height;
            image.rgb.resize(static_cast<size_t>(width) * height * 3);
            for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
                image.rgb[i * 3] = bgrx[i * 4 + 2];
                image.rgb[i * 3 + 1] = bgrx[i * 4 + 1];
                image.rgb[i * 3 + 2] = bgrx[i * 4];
            }
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied;
}

bool SaveScreenArea(const RECT& rect, const char* path)
{
    ScreenImage image;
    if (!CaptureScreenArea(rect, image))
        return false;
    const std::string png = EncodePng(image.width, image.height, image.rgb);
    bool saved = false;
    if (FILE* out = std::fopen(path, "wb")) {
        saved = !png.empty() && std::fwrite(png.data(), png.size(), 1, out) == 1;
        saved = std::fclose(out) == 0 && saved;
    }
    return saved;
}

std::string ScreensFolder()
{
    char folder[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("ORVIK_SCREENS", folder, sizeof folder);
    std::string path = length > 0 && length < sizeof folder ? folder : "T:\\screens";
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    // The parent first: a Windows version's folder lies inside the build's.
    size_t separator = path.rfind('\\');
    if (separator != std::string::npos && separator > 2)
        CreateDirectoryA(path.substr(0, separator).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}
