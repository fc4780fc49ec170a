#include "ui/win32/Win32PopupMenu.h"

#include "base/win32/ComUtil.h"
#include "base/win32/WindowClass.h"
#include "ui/Controls.h"

namespace {

// The system would take "&" as an accelerator mark; captions are data here.
std::wstring MenuText(const TMenuItem& item)
{
    std::string text;
    for (char c : item.Caption()) {
        text += c;
        if (c == '&')
            text += '&';
    }
    const std::string shortCut = ShortCutToText(item.ShortCut());
    if (!shortCut.empty())
        text += "\t" + shortCut;
    return AnsiToWide(text);
}

bool Held(int key) { return GetKeyState(key) < 0; }

} // namespace

TMenuItem* TrackWin32PopupMenu(TPopupMenu& menu, POINT screen, HWND owner)
{
    TMenuHandle handle(CreatePopupMenu());
    if (!handle)
        RaiseLastError();
    for (int i = 0; i < menu.Count(); ++i) {
        const TMenuItem& item = *menu.Items(i);
        const bool separator = item.IsLine();
        const UINT flags = separator ? MF_SEPARATOR : MF_STRING | (item.Enabled() ? 0 : MF_GRAYED);
        if (!AppendMenuW(handle.Get(), flags, static_cast<UINT_PTR>(i + 1), separator ? nullptr : MenuText(item).c_str()))
            RaiseLastError();
    }
    // The menu closes on a click elsewhere only when its owner is in front,
    // and the posted message lets the system finish with it.
    SetForegroundWindow(owner);
    const UINT chosen = TrackPopupMenuEx(handle.Get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN |
                                                           TPM_RIGHTBUTTON,
                                         screen.x, screen.y, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen == 0 || static_cast<int>(chosen) > menu.Count())
        return nullptr;
    return menu.Items(static_cast<int>(chosen) - 1);
}

TShortCut ShortCutOfKeyMessage(const MSG& msg)
{
    TShortCut code = static_cast<TShortCut>(msg.wParam & 0xFF);
    if (Held(VK_SHIFT))
        code |= scShift;
    if (Held(VK_CONTROL))
        code |= scCtrl;
    if (Held(VK_MENU) || (msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29))))
        code |= scAlt;
    return code;
}

unsigned KeyboardShiftBits()
{
    unsigned shift = 0;
    if (Held(VK_SHIFT))
        shift |= ssShift;
    if (Held(VK_CONTROL))
        shift |= ssCtrl;
    if (Held(VK_MENU))
        shift |= ssAlt;
    return shift;
}
