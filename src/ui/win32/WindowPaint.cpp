#include "ui/win32/WindowPaint.h"

#include "ui/win32/GdiObjects.h"

namespace {

void Paint(HWND window, const TPaintContent& paintContent)
{
    TPaintScope paint(window);
    const RECT area = paint.Area();
    RECT client{};
    GetClientRect(window, &client);
    if (!paint.DC() || IsRectEmpty(&area) || IsRectEmpty(&client))
        return;
    TMemoryDC memory(paint.DC());
    TBitmapHandle bitmap(memory ? CreateCompatibleBitmap(paint.DC(), client.right, client.bottom) : nullptr);
    if (!bitmap) {
        paintContent(paint.DC(), area);
        return;
    }
    TSelection selected(memory.Get(), bitmap.Get());
    if (!selected) {
        paintContent(paint.DC(), area);
        return;
    }
    paintContent(memory.Get(), area);
    BitBlt(paint.DC(), area.left, area.top, area.right - area.left, area.bottom - area.top, memory.Get(), area.left,
           area.top, SRCCOPY);
}

} // namespace

LRESULT PaintMessage(HWND window, UINT message, WPARAM wParam, const TPaintContent& paintContent)
{
    if (message == WM_PAINT) {
        Paint(window, paintContent);
    } else if (auto* dc = reinterpret_cast<HDC>(wParam); message == WM_PRINTCLIENT && dc) {
        RECT client{};
        GetClientRect(window, &client);
        paintContent(dc, client);
    }
    return 0;
}
