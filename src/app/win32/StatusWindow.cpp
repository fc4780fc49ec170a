#include "app/win32/StatusWindow.h"

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"
#include "rig/TransceiverUnit.h"
#include "ui/Forms.h"

namespace {
constexpr wchar_t kClassName[] = L"VelkorStatusWindow";
constexpr wchar_t kCaption[] = L"Velkor - Transceiver control module";
} // namespace

std::string GroupedFreq(int32_t hertz)
{
    std::string digits = IntToStr(hertz < 0 ? -static_cast<int64_t>(hertz) : hertz);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ".");
    return hertz < 0 ? "-" + digits : digits;
}

TStatusWindow::TStatusWindow(TTransceiver& transceiver) : FTransceiver(transceiver)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &TStatusWindow::WndProcThunk;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    FFont = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    RECT bounds{0, 0, 300, 130};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&bounds, style, FALSE);
    FHandle = CreateWindowExW(0, kClassName, kCaption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                              bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr, instance, this);
    if (!FHandle) {
        HRESULT code = HRESULT_FROM_WIN32(GetLastError());
        DeleteObject(FFont);
        throw EOleError(OleErrorText(code), code);
    }

    FTimer = new TTimer(Application);
    FTimer->SetInterval(50);
    FTimer->OnTimer = [this](TObject*) { Refresh(); };
    Refresh();
    ShowWindow(FHandle, SW_SHOWNORMAL);
    UpdateWindow(FHandle);
}

TStatusWindow::~TStatusWindow()
{
    delete FTimer;
    if (FHandle)
        DestroyWindow(FHandle);
    DeleteObject(FFont);
}

void TStatusWindow::Refresh()
{
    const TTransceiver& trx = FTransceiver;
    std::string text = Format("Frequency %13s Hz\nVFO A     %13s Hz\nVFO B     %13s Hz\n%-6s   %s\n%s",
                              GroupedFreq(trx.Get_Freq()).c_str(), GroupedFreq(trx.Get_FreqA()).c_str(),
                              GroupedFreq(trx.Get_FreqB()).c_str(), trx.Get_Mode().c_str(), trx.Get_VFO().c_str(),
                              trx.Get_Connected() ? "Connected" : "Not connected");
    std::wstring wide = AnsiToWide(text);
    if (wide != FText) {
        FText = wide;
        InvalidateRect(FHandle, nullptr, TRUE);
    }
}

LRESULT CALLBACK TStatusWindow::WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TStatusWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FHandle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TStatusWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    DispatchEvent([&] { result = self->WndProc(message, wParam, lParam); });
    return result;
}

LRESULT TStatusWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        FHandle = nullptr;
        Application->Terminate();
        return 0;
    default:
        return DefWindowProcW(FHandle, message, wParam, lParam);
    }
}

void TStatusWindow::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(FHandle, &paint);
    HGDIOBJ oldFont = SelectObject(dc, FFont);
    RECT client;
    GetClientRect(FHandle, &client);
    InflateRect(&client, -10, -8);
    DrawTextW(dc, FText.c_str(), static_cast<int>(FText.size()), &client, DT_LEFT | DT_TOP | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(FHandle, &paint);
}
