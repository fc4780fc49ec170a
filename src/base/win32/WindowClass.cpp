#include "base/win32/WindowClass.h"

#include "base/win32/ComUtil.h"

void RaiseLastError()
{
    const HRESULT code = HRESULT_FROM_WIN32(GetLastError());
    throw EOleError(OleErrorText(code), code);
}

void RegisterWindowClass(const TWindowClass& windowClass, WNDPROC proc)
{
    WNDCLASSEXW registered{};
    registered.cbSize = sizeof(registered);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), windowClass.Name, &registered))
        return;
    registered.style = windowClass.Style;
    registered.lpfnWndProc = proc;
    registered.hInstance = GetModuleHandleW(nullptr);
    registered.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    registered.hbrBackground = windowClass.Background;
    registered.lpszClassName = windowClass.Name;
    if (!RegisterClassExW(&registered))
        RaiseLastError();
}
