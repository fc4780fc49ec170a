#include "SettingsWindow.h"

#include <cwchar>

#include "Radio.h"

using namespace RigParams;

namespace {

std::wstring Hex(int32_t value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(value));
    return text;
}

std::wstring ArrangementName(int32_t value)
{
    switch (value) {
    case VFOAA: return L"A/A";
    case VFOAB: return L"A/B (split)";
    case VFOBA: return L"B/A (split)";
    case VFOBB: return L"B/B";
    default: return Hex(value);
    }
}

std::wstring ModeName(int32_t value)
{
    switch (value) {
    case CW_U: return L"CW upper";
    case CW_L: return L"CW lower";
    case SSB_U: return L"USB";
    case SSB_L: return L"LSB";
    case DIG_U: return L"Data upper";
    case DIG_L: return L"Data lower";
    case AM: return L"AM";
    case FM: return L"FM";
    default: return Hex(value);
    }
}

HINSTANCE Instance()
{
    return GetModuleHandleW(nullptr);
}

} // namespace

TSettingsWindow::TSettingsWindow(std::function<void()> onUserClose) : FOnUserClose(std::move(onUserClose)) {}

TSettingsWindow::~TSettingsWindow()
{
    Destroy();
}

void TSettingsWindow::Destroy()
{
    // WM_NCDESTROY clears FWnd.
    if (FWnd)
        DestroyWindow(FWnd);
}

std::wstring TSettingsWindow::Describe(const TRadio& radio)
{
    return L"Rig type: " + radio.RigType() + L"\r\nVFO A: " + std::to_wstring(radio.FreqA()) + L" Hz\r\nVFO B: " +
           std::to_wstring(radio.FreqB()) + L" Hz\r\nVFO: " + ArrangementName(radio.Vfo()) + L"\r\nMode: " +
           ModeName(radio.Mode());
}

bool TSettingsWindow::Create()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(Instance(), kClassName, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = WndProcThunk;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc))
            return false;
    }
    // WndProcThunk sets FWnd at WM_NCCREATE.
    if (!CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                         CW_USEDEFAULT, 320, 170, nullptr, nullptr, Instance(), this)) {
        FWnd = nullptr;
        return false;
    }
    FText = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 10, 290, 120, FWnd, nullptr,
                            Instance(), nullptr);
    if (FText)
        SendMessageW(FText, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return true;
}

bool TSettingsWindow::Show(const TRadio& radio)
{
    if (!FWnd && !Create())
        return false;
    Update(radio);
    ShowWindow(FWnd, SW_SHOWNORMAL);
    return true;
}

void TSettingsWindow::Hide()
{
    if (FWnd)
        ShowWindow(FWnd, SW_HIDE);
}

bool TSettingsWindow::Visible() const
{
    return FWnd && IsWindowVisible(FWnd);
}

void TSettingsWindow::Update(const TRadio& radio)
{
    if (FText)
        SetWindowTextW(FText, Describe(radio).c_str());
}

LRESULT CALLBACK TSettingsWindow::WndProcThunk(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TSettingsWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FWnd = wnd;
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TSettingsWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(wnd, msg, wParam, lParam);
    return self->WndProc(msg, wParam, lParam);
}

LRESULT TSettingsWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        // The dialog lives as long as the server; closing hides it.
        ShowWindow(FWnd, SW_HIDE);
        try {
            if (FOnUserClose)
                FOnUserClose();
        } catch (...) {
        }
        return 0;
    case WM_NCDESTROY: {
        HWND wnd = FWnd;
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        FWnd = nullptr;
        FText = nullptr;
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
    default:
        return DefWindowProcW(FWnd, msg, wParam, lParam);
    }
}
