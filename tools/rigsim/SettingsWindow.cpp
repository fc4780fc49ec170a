#include "SettingsWindow.h"

#include <cwchar>

#include "Radio.h"
#include "base/SysUtils.h"

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

} // namespace

TSettingsWindow::TSettingsWindow(std::function<void()> onUserClose) : FOnUserClose(std::move(onUserClose)) {}

void TSettingsWindow::Destroy()
{
    FWnd.Destroy();
    FText = nullptr;
}

std::wstring TSettingsWindow::Describe(const TRadio& radio)
{
    return L"Rig type: " + radio.RigType() + L"\r\nVFO A: " + std::to_wstring(radio.FreqA()) + L" Hz\r\nVFO B: " +
           std::to_wstring(radio.FreqB()) + L" Hz\r\nVFO: " + ArrangementName(radio.Vfo()) + L"\r\nMode: " +
           ModeName(radio.Mode());
}

bool TSettingsWindow::Create()
{
    try {
        FWnd.Create({kClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)}, 0, kTitle,
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 320, 170,
                    nullptr);
    } catch (const EOleError&) {
        return false; // no display
    }
    FText = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 10, 290, 120, FWnd.Handle(),
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    if (FText)
        SendMessageW(FText, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return true;
}

bool TSettingsWindow::Show(const TRadio& radio)
{
    if (!FWnd.Handle() && !Create())
        return false;
    Update(radio);
    ShowWindow(FWnd.Handle(), SW_SHOWNORMAL);
    return true;
}

void TSettingsWindow::Hide()
{
    if (FWnd.Handle())
        ShowWindow(FWnd.Handle(), SW_HIDE);
}

bool TSettingsWindow::Visible() const
{
    return FWnd.Handle() && IsWindowVisible(FWnd.Handle());
}

void TSettingsWindow::Update(const TRadio& radio)
{
    if (FText)
        SetWindowTextW(FText, Describe(radio).c_str());
}

LRESULT TSettingsWindow::HandleMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        // The dialog lives as long as the server; closing hides it.
        ShowWindow(wnd, SW_HIDE);
        try {
            if (FOnUserClose)
                FOnUserClose();
        } catch (...) {
        }
        return 0;
    case WM_NCDESTROY:
        FText = nullptr;
        return DefWindowProcW(wnd, msg, wParam, lParam);
    default:
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
}
