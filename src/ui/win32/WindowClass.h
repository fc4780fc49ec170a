#pragma once
// What the host's window classes share.

#include <windows.h>

// Raises EOleError for the calling thread's last system error.
[[noreturn]] void RaiseLastError();

// Registers a window class of this module once; later calls find it.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style);
