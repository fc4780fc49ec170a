#pragma once
// The one paint path of the host's windows (the form window, the hint
// window). WM_PAINT paints the invalid area through a bitmap of the client
// area copied in one go, so that nothing flickers, and straight onto the
// window when the system has no bitmap to spare; WM_PRINTCLIENT paints the
// whole client area straight into the DC it gives, so that a test can paint
// into a memory DC and read pixels back. Both go through the window's one
// PaintContent.

#include <windows.h>

#include <functional>

// Paints an area (client coordinates) of the window onto dc.
using TPaintContent = std::function<void(HDC dc, const RECT& area)>;

// Answers WM_PAINT or WM_PRINTCLIENT (wParam its DC) for the window.
LRESULT PaintMessage(HWND window, UINT message, WPARAM wParam, const TPaintContent& paintContent);
