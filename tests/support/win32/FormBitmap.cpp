#include "tests/support/win32/FormBitmap.h"

#include <cstdio>
#include <stdexcept>

#include "base/SysUtils.h"
#include "ui/win32/Win32Host.h"

namespace {

BITMAPINFOHEADER TopDownHeader(int width, int height)
{
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = -height; // top row first
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

} // namespace

TFormBitmap::TFormBitmap(TForm& form) : TFormBitmap(TWin32Host::WindowOf(form)) {}

TFormBitmap::TFormBitmap(HWND window)
{
    RECT client{};
    if (!window || !GetClientRect(window, &client) || IsRectEmpty(&client) || !FDC)
        return;
    BITMAPINFO info{};
    info.bmiHeader = TopDownHeader(client.right, client.bottom);
    void* bits = nullptr;
    FBitmap = TBitmapHandle(CreateDIBSection(FDC.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!FBitmap || !bits)
        return;
    {
        TSelection selected(FDC.Get(), FBitmap.Get());
        if (!selected)
            return;
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(FDC.Get()), PRF_CLIENT);
        // The native children (an edit box) over it, each at its place.
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            if (!IsWindowVisible(child) || !GetWindowRect(child, &r))
                continue;
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
            POINT old{};
            SetViewportOrgEx(FDC.Get(), r.left, r.top, &old);
            SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(FDC.Get()),
                         PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
            SetViewportOrgEx(FDC.Get(), old.x, old.y, nullptr);
        }
        GdiFlush();
    }
    FWidth = client.right;
    FHeight = client.bottom;
    FBits = static_cast<const uint32_t*>(bits);
}

uint32_t TFormBitmap::Pixel(int x, int y) const
{
    if (!FBits || x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        throw std::out_of_range(Format("pixel %d,%d outside the %dx%d bitmap", x, y, FWidth, FHeight));
    const uint32_t bgra = FBits[static_cast<size_t>(y) * static_cast<size_t>(FWidth) + static_cast<size_t>(x)];
    // The section holds blue, green, red bytes; a colour is red first.
    return ((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF);
}

int TFormBitmap::Count(const TRect& area, TColor color) const
{
    int count = 0;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            count += Pixel(x, y) == color;
    return count;
}

bool TFormBitmap::Save(const std::wstring& path) const
{
    if (!FBits)
        return false;
    const BITMAPINFOHEADER header = TopDownHeader(FWidth, FHeight);
    const DWORD pixels = static_cast<DWORD>(FWidth) * static_cast<DWORD>(FHeight) * 4;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixels;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return false;
    bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&header, sizeof(header), 1, out) == 1 &&
              fwrite(FBits, pixels, 1, out) == 1;
    ok = fclose(out) == 0 && ok;
    return ok;
}
