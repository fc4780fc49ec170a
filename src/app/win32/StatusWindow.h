#pragma once
// A plain window that shows the transceiver's polled state until the main
// window is built.

#include <windows.h>

#include <string>

class TTransceiver;
class TTimer;

class TStatusWindow {
public:
    explicit TStatusWindow(TTransceiver& transceiver);
    ~TStatusWindow();
    TStatusWindow(const TStatusWindow&) = delete;
    TStatusWindow& operator=(const TStatusWindow&) = delete;

    HWND Handle() const { return FHandle; }
    const std::wstring& Text() const { return FText; }

private:
    static LRESULT CALLBACK WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void Refresh();
    void Paint();

    TTransceiver& FTransceiver;
    TTimer* FTimer;
    HWND FHandle = nullptr;
    HFONT FFont = nullptr;
    std::wstring FText;
};

// Hertz grouped by thousands with ".", as the radio's display shows them.
std::string GroupedFreq(int32_t hertz);
