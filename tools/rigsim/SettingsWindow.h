#pragma once
// The stand-in's settings dialog: a small top-level window that shows the
// simulated radio and follows every change. Closing it only hides it.

#include <windows.h>

#include <functional>
#include <string>

#include "base/win32/WindowClass.h"

class TRadio;

class TSettingsWindow {
public:
    static constexpr const wchar_t* kClassName = L"RigSimSettings";
    static constexpr const wchar_t* kTitle = L"Rig settings";

    // onUserClose runs when the user closes the window.
    explicit TSettingsWindow(std::function<void()> onUserClose);
    TSettingsWindow(const TSettingsWindow&) = delete;
    TSettingsWindow& operator=(const TSettingsWindow&) = delete;

    // Creates the window on first use; false when it cannot be created (no
    // display).
    bool Show(const TRadio& radio);
    void Hide();
    bool Visible() const;
    void Update(const TRadio& radio);
    void Destroy();

    static std::wstring Describe(const TRadio& radio);

private:
    friend class TObjectWindow<TSettingsWindow>;
    LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool Create();

    std::function<void()> FOnUserClose;
    // A child of the window, which goes with it.
    HWND FText = nullptr;
    TObjectWindow<TSettingsWindow> FWnd{*this};
};
