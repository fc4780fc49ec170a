#pragma once
// Test support: a form's window painted into a 32-bit bitmap, for tests that
// read pixels back or save what they see.

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/Forms.h"
#include "ui/win32/GdiObjects.h"

class TFormBitmap {
public:
    // Paints the client area of the form's window as the window paints it for
    // WM_PRINTCLIENT, with its visible child windows (WM_PRINT) over it.
    // Without a window, an empty client area or a bitmap from the system, the
    // bitmap is not valid.
    explicit TFormBitmap(TForm& form);
    // The same for any window of the host (the hint window).
    explicit TFormBitmap(HWND window);
    TFormBitmap(const TFormBitmap&) = delete;
    TFormBitmap& operator=(const TFormBitmap&) = delete;

    bool Valid() const { return FBits != nullptr; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // 0x00BBGGRR, as TColor. Raises std::out_of_range outside the bitmap, and
    // for every point of a bitmap that is not valid.
    uint32_t Pixel(int x, int y) const;
    // Pixels of one colour inside a rectangle of the bitmap.
    int Count(const TRect& area, TColor color) const;
    // Writes a .bmp file; false when it cannot, or the bitmap is not valid.
    bool Save(const std::wstring& path) const;

private:
    TMemoryDC FDC{nullptr};
    TBitmapHandle FBitmap;
    int FWidth = 0;
    int FHeight = 0;
    const uint32_t* FBits = nullptr;
};
