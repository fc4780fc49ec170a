#pragma once
// Owners of the GDI and window DC handles the host acquires: each handle has
// one owner from the line that acquires it, and every object selected into a
// DC goes back out when its scope ends. A failed acquisition leaves an empty
// owner, which the caller tests before use.

#include <windows.h>

#include <utility>

// A GDI object (bitmap, brush, font, pen, region), deleted with its owner.
template <class THandle>
class TGdiObject {
public:
    TGdiObject() = default;
    explicit TGdiObject(THandle handle) : FHandle(handle) {}
    ~TGdiObject() { Reset(); }
    TGdiObject(TGdiObject&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
    TGdiObject& operator=(TGdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset();
            FHandle = std::exchange(other.FHandle, nullptr);
        }
        return *this;
    }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;

    THandle Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    void Reset()
    {
        if (FHandle)
            DeleteObject(FHandle);
        FHandle = nullptr;
    }

private:
    THandle FHandle = nullptr;
};

using TBitmapHandle = TGdiObject<HBITMAP>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TFontHandle = TGdiObject<HFONT>;
using TPenHandle = TGdiObject<HPEN>;
using TRegionHandle = TGdiObject<HRGN>;

// A memory DC compatible with another (or with the screen for nullptr).
class TMemoryDC {
public:
    explicit TMemoryDC(HDC compatible) : FDC(CreateCompatibleDC(compatible)) {}
    ~TMemoryDC()
    {
        if (FDC)
            DeleteDC(FDC);
    }
    TMemoryDC(TMemoryDC&& other) noexcept : FDC(std::exchange(other.FDC, nullptr)) {}
    TMemoryDC& operator=(TMemoryDC&&) = delete;
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;

    HDC Get() const { return FDC; }
    explicit operator bool() const { return FDC != nullptr; }

private:
    HDC FDC;
};

// The DC of a window's client area (the screen's for nullptr), released with its owner.
class TWindowDC {
public:
    explicit TWindowDC(HWND window) : FWindow(window), FDC(GetDC(window)) {}
    ~TWindowDC()
    {
        if (FDC)
            ReleaseDC(FWindow, FDC);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;

    HDC Get() const { return FDC; }
    explicit operator bool() const { return FDC != nullptr; }

private:
    HWND FWindow;
    HDC FDC;
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
