#pragma once
// Owners of the GDI and device-context handles the host acquires, as traits
// of the one owning handle (base/win32/Handle.h): each handle has one owner
// from the line that acquires it, and every object selected into a DC goes
// back out when its scope ends. A failed acquisition leaves an empty owner,
// which the caller tests before use.

#include <windows.h>

#include "base/win32/Handle.h"

// A GDI object (bitmap, brush, font, pen, region), deleted with its owner.
template <class THandle>
struct TGdiObjectTraits : TNullIsNoHandle<THandle> {
    static bool Close(THandle object) { return DeleteObject(object) != FALSE; }
};
template <class THandle>
using TGdiObject = TUniqueHandle<TGdiObjectTraits<THandle>>;

using TBitmapHandle = TGdiObject<HBITMAP>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TFontHandle = TGdiObject<HFONT>;
using TPenHandle = TGdiObject<HPEN>;
using TRegionHandle = TGdiObject<HRGN>;

struct TMemoryDCTraits : TNullIsNoHandle<HDC> {
    static bool Close(HDC dc) { return DeleteDC(dc) != FALSE; }
};

// A memory DC compatible with another (or with the screen for nullptr).
class TMemoryDC : public TUniqueHandle<TMemoryDCTraits> {
public:
    explicit TMemoryDC(HDC compatible) : TUniqueHandle(CreateCompatibleDC(compatible)) {}
};

// A window's DC goes back to the window it came from.
struct TWindowDCTraits : TNullIsNoHandle<HDC> {
    HWND Window = nullptr;
    bool Close(HDC dc) const { return ReleaseDC(Window, dc) != 0; }
};

// The DC of a window's client area (the screen's for nullptr), released with its owner.
class TWindowDC : public TUniqueHandle<TWindowDCTraits> {
public:
    explicit TWindowDC(HWND window) : TUniqueHandle(GetDC(window), TWindowDCTraits{{}, window}) {}
};

// One object selected into a DC for a scope; the one it replaced goes back.
// Not for regions: SelectObject answers those with a region kind, not the old one.
class TSelection {
public:
    TSelection(HDC dc, HGDIOBJ object) : FDC(dc), FOld(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~TSelection()
    {
        if (FOld && FOld != HGDI_ERROR)
            SelectObject(FDC, FOld);
    }
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

    // False when the object could not be selected.
    explicit operator bool() const { return FOld && FOld != HGDI_ERROR; }

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// The whole state of a DC (objects, clip, colours, modes), put back at the end of the scope.
class TSavedDC {
public:
    explicit TSavedDC(HDC dc) : FDC(dc), FState(SaveDC(dc)) {}
    ~TSavedDC()
    {
        if (FState)
            RestoreDC(FDC, FState);
    }
    TSavedDC(const TSavedDC&) = delete;
    TSavedDC& operator=(const TSavedDC&) = delete;

private:
    HDC FDC;
    int FState;
};

// BeginPaint and EndPaint around one WM_PAINT.
class TPaintScope {
public:
    explicit TPaintScope(HWND window) : FWindow(window) { FDC = BeginPaint(window, &FPaint); }
    ~TPaintScope() { EndPaint(FWindow, &FPaint); }
    TPaintScope(const TPaintScope&) = delete;
    TPaintScope& operator=(const TPaintScope&) = delete;

    // nullptr when there is nothing to paint on.
    HDC DC() const { return FDC; }
    const RECT& Area() const { return FPaint.rcPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDC;
};
