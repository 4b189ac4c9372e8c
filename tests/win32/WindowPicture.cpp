#include "tests/win32/WindowPicture.h"

#include <gdiplus.h>

bool SaveWindowPicture(HWND hwnd, const std::wstring& path)
{
    RECT r{};
    if (!GetClientRect(hwnd, &r))
        return false;
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const HDC window = GetDC(hwnd);
    const HDC memory = CreateCompatibleDC(window);
    const HBITMAP bitmap = CreateCompatibleBitmap(window, w, h);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, w, h, window, 0, 0, SRCCOPY) != FALSE;
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(hwnd, window);

    bool saved = false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (copied && Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        Gdiplus::GpBitmap* image = nullptr;
        // GDI+'s PNG encoder.
        const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
            saved =
                Gdiplus::DllExports::GdipSaveImageToFile(image, path.c_str(), &png, nullptr) == Gdiplus::Ok;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    return saved;
}
