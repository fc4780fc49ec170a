#include "ui/win32/WindowClass.h"

#include "base/win32/ComUtil.h"

void RaiseLastError()
{
    const HRESULT code = HRESULT_FROM_WIN32(GetLastError());
    throw EOleError(OleErrorText(code), code);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &windowClass))
        return;
    windowClass.style = style;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    if (!RegisterClassExW(&windowClass))
        RaiseLastError();
}
